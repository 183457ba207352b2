#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it with dpkg, runs
# the installed programs, removes (purges) it and checks that nothing of it
# is left on the system. Needs root (or sudo); changes the machine's packages,
# so it is not part of the test suite.
#
#   bench/package/deb_check.sh [BUILD]        (BUILD defaults to build)
#
# Exit status 0 when every step passed. A machine that has kestrova installed
# already is left alone.
set -uo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build}"
[ -f "$build/CPackConfig.cmake" ] || { echo "no CPackConfig.cmake in $build: build first" >&2; exit 2; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo="sudo -n"
  else
    echo "needs root or password-less sudo to install a package" >&2
    exit 2
  fi
fi
if dpkg-query -W -f='${Status}' kestrova 2>/dev/null | grep -q "installed\|config-files"; then
  echo "kestrova is installed already (dpkg -l kestrova); not touching it" >&2
  exit 2
fi

failures=0
step() { printf '\n== %s\n' "$*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

step "cpack -G DEB ($build)"
start=$(date +%s%N)
if ! (cd "$build" && cpack -G DEB --config CPackConfig.cmake) > "$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  echo "cpack failed" >&2
  exit 1
fi
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$scratch/cpack.log")
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
echo "built $deb in $((elapsed_ms / 1000)).$((elapsed_ms % 1000 / 100)) s ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends Installed-Size
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] && ok "package version $version" ||
  fail "package version $(dpkg-deb -f "$deb" Version), project $version"

step "dpkg -i"
if $sudo env DEBIAN_FRONTEND=noninteractive dpkg -i "$deb"; then
  ok "installed"
else
  # On a machine without the dependencies dpkg leaves the package unpacked;
  # apt brings what it depends on and finishes the configuration.
  echo "dpkg -i stopped (missing dependencies?); apt-get -f install brings them"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -f -y -qq --no-install-recommends ||
    fail "dependencies could not be installed"
fi
dpkg-query -W -f='${Status}\n' kestrova | grep -q "install ok installed" && ok "dpkg says installed" ||
  fail "dpkg status: $(dpkg-query -W -f='${Status}' kestrova 2>&1)"
dpkg -L kestrova > "$scratch/files"
echo "$(wc -l < "$scratch/files") paths listed by dpkg -L kestrova"

# The programs run on an adb server of their own, stopped at the end, so the
# user's server (port 5037) is not touched.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
export ANDROID_ADB_SERVER_PORT="$port"

# run NAME ARGS...: runs an installed program, prints what it said and its
# exit status; a program the loader cannot start fails the check.
run() {
  local rc=0
  "$@" > "$scratch/out" 2> "$scratch/err" || rc=$?
  echo "\$ $* -> exit $rc"
  sed 's/^/  | /' "$scratch/out" | head -20
  sed 's/^/  ! /' "$scratch/err" | head -10
  if [ "$rc" -ge 126 ] || grep -q "error while loading shared libraries" "$scratch/err"; then
    fail "$1 did not start"
  fi
  return "$rc"
}

step "run the installed programs"
[ "$(command -v kestrova-transfer)" = /usr/bin/kestrova-transfer ] && ok "kestrova-transfer on the PATH" ||
  fail "kestrova-transfer not on the PATH"
if run kestrova-transfer --version; then
  grep -q "$version" "$scratch/out" && ok "--version says $version" || fail "--version without $version"
elif grep -q "unknown argument" "$scratch/err"; then
  echo "note: this build's kestrova-transfer has no --version yet"
else
  fail "kestrova-transfer --version"
fi
if ! run kestrova-transfer --list; then
  if grep -q "unknown argument" "$scratch/err"; then
    echo "note: this build's kestrova-transfer has no --list yet; --help instead"
    run kestrova-transfer --help || true
  else
    fail "kestrova-transfer --list"
  fi
fi
run kestrova-backup --version && grep -q "$version" "$scratch/out" && ok "kestrova-backup $version" ||
  fail "kestrova-backup --version"
# The window, offscreen for three seconds: still running at the end means it
# found its libraries and started.
rc=0
QT_QPA_PLATFORM=offscreen timeout 3 kestrova > "$scratch/gui.out" 2> "$scratch/gui.err" || rc=$?
[ "$rc" -eq 124 ] && ok "kestrova ran offscreen until stopped" ||
  { fail "kestrova ended with $rc"; sed 's/^/  ! /' "$scratch/gui.err" | head; }
grep -q '"/usr/lib/kestrova/plugins"\|font file missing' "$scratch/gui.err" &&
  grep -h 'plugins"\|font file' "$scratch/gui.err" | sed 's/^/  /'
grep -q "font file missing\|font file unusable" "$scratch/gui.err" && fail "fonts not found"
man -w kestrova-transfer >/dev/null 2>&1 && ok "man page: $(man -w kestrova-transfer)" ||
  echo "note: man not installed here, page at $(grep 'man1/kestrova-transfer' "$scratch/files")"
/usr/lib/kestrova/root/adb -P "$port" kill-server >/dev/null 2>&1 || true

step "dpkg -P"
$sudo dpkg -P kestrova || fail "dpkg -P"
dpkg-query -W -f='${Status}\n' kestrova 2>/dev/null | grep -q "installed\|config-files" &&
  fail "still known to dpkg: $(dpkg-query -W -f='${Status}' kestrova)"
left=0
while IFS= read -r path; do
  [ "$path" = "/." ] && continue
  if [ -L "$path" ] || [ -f "$path" ]; then
    echo "left behind: $path"; left=$((left + 1))
  elif [ -d "$path" ] && ! dpkg -S "$path" >/dev/null 2>&1; then
    # A folder no other package owns must have gone with the package.
    echo "folder left behind: $path"; left=$((left + 1))
  fi
done < "$scratch/files"
[ "$left" -eq 0 ] && ok "none of the $(wc -l < "$scratch/files") paths left behind" ||
  fail "$left paths left behind"

echo
if [ "$failures" -eq 0 ]; then
  echo "deb check passed"
else
  echo "deb check: $failures failure(s)"
  exit 1
fi
