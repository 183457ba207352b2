#!/bin/sh
# The desktop's files of the program pass their validators, the metainfo's
# newest release is the project's version, and the manual pages format
# without warnings:
#   validate_metadata.sh DESKTOP METAINFO VERSION MANPAGE...
# Exit 77 (skipped) only when a validator is not installed.
set -u
desktop=$1 metainfo=$2 version=$3
shift 3
for tool in desktop-file-validate appstreamcli; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (Debian packages desktop-file-utils, appstream)"
    exit 77
  fi
done
failed=0

echo "desktop-file-validate $desktop"
desktop-file-validate "$desktop" || failed=1
# --no-net: the screenshots' addresses are not fetched.
echo "appstreamcli validate --no-net $metainfo"
appstreamcli validate --no-net --explain "$metainfo" || failed=1

# The first <release> is the newest; a version bump needs its release notes.
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
if [ "$newest" != "$version" ]; then
  echo "metainfo's newest release is '$newest', the project's version $version"
  failed=1
fi

# groff's warnings (-ww) turned into a failure; absent groff skips only this.
if command -v groff >/dev/null; then
  for page in "$@"; do
    warnings=$(gzip -dc "$page" | groff -man -ww -z -Tutf8 2>&1)
    if [ -n "$warnings" ]; then
      echo "$page:"
      echo "$warnings"
      failed=1
    fi
    gzip -dc "$page" | grep -q "kestrova $version" ||
      { echo "$page does not name version $version"; failed=1; }
  done
else
  echo "groff not installed: manual pages not formatted"
fi
exit $failed
