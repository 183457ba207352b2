#!/usr/bin/env bash
# Time from pulling a phone out to the job's report, for every kind: the
# driver copies one kind between two virtual phones (the destination answers
# each item a little slowly, so the copy is still in that kind), the source or
# the destination is unplugged, and the clock runs until the driver has
# printed its report and ended. Prints one line per case; a case above 5
# seconds is marked. Not a test.
#
#   bench/unplug/unplug_bench.sh [BUILD_DIR] [KINDS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
kinds=${2:-contacts,sms,calllogs,calendar,photos,videos,music,apps}
bin="$build/bin"
declare -A slow=([contacts]=AddPerson [sms]=SendSMS [calllogs]=AddCallHistory
  [calendar]=AddCalender [photos]=checkFileisExist [videos]=write_videofile
  [music]=checkMusicFileisExist [apps]=getappindexinfo)

now() { date +%s.%N; }
printf '%-10s %-12s %8s %s\n' kind unplugged seconds outcome
for kind in ${kinds//,/ }; do
  for side in source destination; do
    dir=$(mktemp -d "$build/bench-unplug.XXXXXX")
    "$bin/kestrova-lab" up --dir "$dir" --android 2 --scenario modern > "$dir/env"
    set -a; . "$dir/env"; set +a
    export TMPDIR="$dir"
    "$bin/kestrova-lab" fill --dir "$dir" --phone 0 --contacts 60 --messages 60 --calls 60 \
      --events 60 --photos 40 --photo-size 200000 --videos 6 --video-size 20000000 --music 40 \
      --apps 8 > /dev/null
    slowphone=1
    [ "$kind" = apps ] && slowphone=0
    printf 'stall=1\nonly=%s\n' "${slow[$kind]}" > "$dir/phones/$slowphone/agent-faults"
    "$bin/kestrova-transfer" --from "android:$KESTROVA_LAB_SERIAL_0" \
      --to "android:$KESTROVA_LAB_SERIAL_1" --kinds "$kind" > "$dir/out" 2> "$dir/err" &
    driver=$!
    for _ in $(seq 1 600); do
      grep -q "progress $kind [1-9]" "$dir/out" 2>/dev/null && break
      sleep 0.1
    done
    phone=0
    [ "$side" = destination ] && phone=1
    t0=$(now)
    "$bin/kestrova-lab" unplug --dir "$dir" --phone "$phone" > /dev/null
    wait "$driver" || true
    t1=$(now)
    took=$(echo "$t1 - $t0" | bc)
    outcome=$(tail -n 1 "$dir/out" | python3 -c 'import json,sys
try:
  r = json.loads(sys.stdin.read()); k = r["kinds"]["'"$kind"'"]; print(k["reason"] or k["outcome"])
except Exception: print("no report")')
    mark=""
    [ "$(echo "$took > 5" | bc)" = 1 ] && mark="  <-- above 5 s"
    printf '%-10s %-12s %8.2f %s%s\n' "$kind" "$side" "$took" "$outcome" "$mark"
    "$bin/kestrova-lab" down --dir "$dir" > /dev/null 2>&1 || true
    rm -rf "$dir"
  done
done
