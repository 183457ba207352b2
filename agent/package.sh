#!/usr/bin/env bash
# Builds, signs and places the agent package: OUT/kestrova1.apk and
# OUT/kestrova2.apk (the same app; the desktop installs the one named after
# the phone's position). Needs an Android SDK:
#
#   ANDROID_HOME (or ANDROID_SDK_ROOT) with platforms/android-NN/android.jar
#   and build-tools/VERSION/{d8,aapt2,zipalign,apksigner}; a JDK (javac, keytool).
#
#   agent/package.sh OUT
#
# Signing: KESTROVA_AGENT_KEYSTORE, KESTROVA_AGENT_KEY_ALIAS and
# KESTROVA_AGENT_KEYSTORE_PASS name the release key; without them a local
# key is made once in ~/.android/kestrova-agent.jks (fine for one's own
# phones, not for distribution).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:?usage: agent/package.sh OUTPUT_FOLDER}"
sdk="${ANDROID_HOME:-${ANDROID_SDK_ROOT:-}}"
[ -n "$sdk" ] && [ -d "$sdk" ] || { echo "agent: set ANDROID_HOME to an Android SDK" >&2; exit 2; }
platform="$(ls -d "$sdk"/platforms/android-* 2>/dev/null | sort -V | tail -n1)"
tools="$(ls -d "$sdk"/build-tools/* 2>/dev/null | sort -V | tail -n1)"
[ -f "$platform/android.jar" ] || { echo "agent: no platform in $sdk/platforms" >&2; exit 2; }
for t in d8 aapt2 zipalign apksigner; do
  [ -x "$tools/$t" ] || { echo "agent: $t missing in $tools" >&2; exit 2; }
done
android_jar="$platform/android.jar"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/classes" "$work/dex"

# The core and the Android layer, against the real platform this time.
find "$here/core/src" "$here/android/src" -name '*.java' > "$work/sources"
javac --release 8 -Xlint:all -encoding UTF-8 -classpath "$android_jar" -d "$work/classes" @"$work/sources"
(cd "$work/classes" && find . -name '*.class' > "$work/class-files")
(cd "$work/classes" && "$tools/d8" --release --min-api 19 --lib "$android_jar" --output "$work/dex" \
  $(cat "$work/class-files"))

"$tools/aapt2" link --manifest "$here/android/AndroidManifest.xml" -I "$android_jar" \
  --min-sdk-version 19 --target-sdk-version 34 -o "$work/unsigned.apk"
(cd "$work/dex" && jar -u -M -f "$work/unsigned.apk" classes.dex)
"$tools/zipalign" -p -f 4 "$work/unsigned.apk" "$work/aligned.apk"

keystore="${KESTROVA_AGENT_KEYSTORE:-$HOME/.android/kestrova-agent.jks}"
alias="${KESTROVA_AGENT_KEY_ALIAS:-kestrova}"
pass="${KESTROVA_AGENT_KEYSTORE_PASS:-kestrova-local}"
if [ ! -f "$keystore" ]; then
  mkdir -p "$(dirname "$keystore")"
  keytool -genkeypair -keystore "$keystore" -alias "$alias" -keyalg RSA -keysize 3072 \
    -validity 10000 -storepass "$pass" -keypass "$pass" -dname "CN=Kestrova agent (local)" >/dev/null
fi
"$tools/apksigner" sign --ks "$keystore" --ks-key-alias "$alias" --ks-pass "pass:$pass" \
  --key-pass "pass:$pass" --out "$work/kestrova.apk" "$work/aligned.apk"
"$tools/apksigner" verify "$work/kestrova.apk"

mkdir -p "$out"
cp "$work/kestrova.apk" "$out/kestrova1.apk"
cp "$work/kestrova.apk" "$out/kestrova2.apk"
echo "agent packages: $out/kestrova1.apk $out/kestrova2.apk"
