#!/usr/bin/env bash
# The project's entry point on a Debian 12 machine (run as root, or with sudo
# available for the package step):
#
#   ./kestrova.sh demo     install what is missing, build, and run the program's main job
#   ./kestrova.sh test     install what is missing, build, and run the whole test suite
#   ./kestrova.sh build    install what is missing and build only
#   ./kestrova.sh agent    build the phone agent's package (needs ANDROID_HOME; CI does not run it)
#   ./kestrova.sh package  build, then the Debian package build/package/kestrova_<version>_<arch>.deb
#
# Options for build and test: --asan (AddressSanitizer + UBSan, in build-asan/),
# --tsan (ThreadSanitizer, in build-tsan/). Extra arguments after "--" go to ctest
# (e.g. ./kestrova.sh test -- -L unit).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-private-dev qt6-svg-dev libgl-dev libglx-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  libimobiledevice-dev libplist-dev libusbmuxd-dev libssl-dev
  libarchive-dev libusb-1.0-0-dev libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev libical-dev python3-icalendar python3-cryptography
  adb android-sdk-platform-tools-common usbmuxd fonts-lato tzdata xvfb xauth
  default-jdk-headless junit5 libxerial-sqlite-jdbc-java
  desktop-file-utils appstream groff-base file
)

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

BUILD_DIR=build
CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
CTEST_ARGS=()

parse_options() {
  while [ $# -gt 0 ]; do
    case "$1" in
      # Each sanitized program carries its suppressions (cmake/*.supp) compiled in.
      --asan) BUILD_DIR=build-asan; CMAKE_ARGS+=(-DKESTROVA_SANITIZE_ADDRESS=ON) ;;
      --tsan) BUILD_DIR=build-tsan; CMAKE_ARGS+=(-DKESTROVA_SANITIZE_THREAD=ON) ;;
      --) shift; CTEST_ARGS+=("$@"); break ;;
      *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
    shift
  done
}

build() {
  install_packages
  cmake -S . -B "$BUILD_DIR" -G Ninja "${CMAKE_ARGS[@]}" >/dev/null
  cmake --build "$BUILD_DIR" -- -j"$(nproc)"
}

# The main job on the virtual lab: two Android phones (the first filled with
# realistic data), one iPhone and one iTunes backup. With a display the
# program opens on it; without one the same copies run headless and each
# kind's outcome is printed.
demo() {
  local bin="$PWD/$BUILD_DIR/bin" dir="$PWD/$BUILD_DIR/demo"
  [ -f "$dir/lab.env" ] && "$bin/kestrova-lab" down --dir "$dir" >/dev/null 2>&1 || true
  rm -rf "$dir" && mkdir -p "$dir"
  echo "Starting the virtual lab in $dir ..."
  "$bin/kestrova-lab" up --dir "$dir" --android 2 --iphone 1 --seed 2026 > "$dir/env"
  # shellcheck disable=SC2064
  trap "\"$bin/kestrova-lab\" down --dir \"$dir\" >/dev/null 2>&1" EXIT
  # shellcheck disable=SC1091
  set -a; . "$dir/env"; set +a
  export TMPDIR="$dir"
  "$bin/kestrova-lab" fill --dir "$dir" --phone 0 --records 25 >/dev/null
  # The backup goes where the program looks first: the lab's own home folder.
  local backups="$HOME/.local/share/MobileSync/Backup"
  mkdir -p "$backups"
  "$bin/kestrova-backupfixture" --format db --ios 14 --seed 2026 --count 20 \
    --out "$backups" >/dev/null
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Opening the program (close its window to stop the lab)."
    "$bin/kestrova"
    return
  fi
  echo "No display: taking screenshots of the windows on the offscreen platform ..."
  local rc=0 source kinds status
  if QT_QPA_PLATFORM=offscreen "$bin/kestrova" --screenshots "$dir/screenshots" \
    > "$dir/screenshots.log" 2>&1; then
    echo "Screenshots of the windows: $dir/screenshots/"
  else
    echo "Not every screenshot could be taken (see $dir/screenshots.log);"
    echo "those taken are in $dir/screenshots/"
  fi
  echo "Running the copies headless (full output in $dir/*.log)."
  for source in android:0 iphone:0 backup:0; do
    status=0
    case "$source" in
      android:*) kinds=contacts,sms,calllogs,calendar,photos,videos,music,apps ;;
      iphone:*) kinds=contacts,sms,calendar,photos,videos,music ;;
      backup:*) kinds=contacts,sms,calllogs,calendar,photos,videos,music ;;
    esac
    echo
    echo "== $source -> android:1 =="
    "$bin/kestrova-transfer" --from "$source" --to android:1 --kinds "$kinds" --summary \
      --backup-dir "$backups" --work "$dir/work" > "$dir/${source%%:*}.log" 2>&1 || status=$?
    # 1 means the copy ran and not everything arrived (reported above); 2 that it could not run.
    [ "$status" -ge 2 ] && rc=1
    grep -E '^  [A-Z]|^kestrova-transfer:' "$dir/${source%%:*}.log" || true
  done
  echo
  echo "The iPhone of the lab is a current one: like every iPhone since iOS 8 it does not"
  echo "hand out its databases over USB, and the report says so instead of claiming success."
  return $rc
}

# The suite. A lab test that fails on a loaded machine runs once more; the
# tests that needed that are listed at the end, never hidden.
run_tests() {
  local log="$BUILD_DIR/Testing/first-attempt.log" status=0
  mkdir -p "$(dirname "$log")"
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --repeat until-pass:2 \
    "${CTEST_ARGS[@]}" | tee "$log" || status=$?
  if grep -q '\*\*\*Failed' "$log"; then
    echo "Passed only on a second attempt (flaky under load), or failed twice:"
    grep '\*\*\*Failed' "$log" | sed 's/^/  /'
  fi
  return "$status"
}

cmd="${1:-}"
[ $# -gt 0 ] && shift
parse_options "$@"
case "$cmd" in
  build) build ;;
  test)
    build
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
    export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
    run_tests
    ;;
  demo)
    build
    demo
    ;;
  agent)
    build
    agent/package.sh "$BUILD_DIR/bin"
    ;;
  package)
    build
    (cd "$BUILD_DIR" && cpack -G DEB --config CPackConfig.cmake)
    ;;
  *)
    sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
