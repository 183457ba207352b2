#!/usr/bin/env bash
# The project's entry point on a Debian 12 machine (run as root, or with sudo
# available for the package step):
#
#   ./kestrova.sh demo     install what is missing, build, and run the program's main job
#   ./kestrova.sh test     install what is missing, build, and run the whole test suite
#   ./kestrova.sh build    install what is missing and build only
#
# Options for build and test: --asan (AddressSanitizer + UBSan, in build-asan/),
# --tsan (ThreadSanitizer, in build-tsan/). Extra arguments after "--" go to ctest
# (e.g. ./kestrova.sh test -- -L unit).
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-svg-dev libgl-dev libglx-dev
  libimobiledevice-dev libplist-dev libusbmuxd-dev libssl-dev
  libarchive-dev libusb-1.0-0-dev libsqlite3-dev sqlite3
  libgtest-dev libgmock-dev
  adb fonts-lato tzdata xvfb xauth
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
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" "${CTEST_ARGS[@]}"
    ;;
  demo)
    build
    if [ -x "$BUILD_DIR/bin/kestrova-demo" ]; then
      exec "$BUILD_DIR/bin/kestrova-demo"
    fi
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec "$BUILD_DIR/bin/kestrova"
    fi
    echo "No display: starting the program on a virtual display for 10 seconds."
    timeout 10 xvfb-run -a "$BUILD_DIR/bin/kestrova" || [ $? -eq 124 ]
    ;;
  *)
    sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
