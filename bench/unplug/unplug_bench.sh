#!/usr/bin/env bash
# Time from pulling a phone out to the job's report, for every kind: the
# driver copies one kind between two virtual phones (the destination answers
# each item a little slowly, so the copy is still in that kind), the source or
# the destination is unplugged, and the clock runs until the driver has
# printed its report and ended. Prints one line per case; a case above 5
# seconds is marked. Not a test.
#
#   bench/unplug/unplug_bench.sh [BUILD_DIR] [KINDS]
#   UNPLUG_MODES=android,iphone,backup (the default: all three)
set -euo pipefail
modes=${UNPLUG_MODES:-android,iphone,backup}
build=$(cd "${1:-build}" && pwd)
kinds=${2:-contacts,sms,calllogs,calendar,photos,videos,music,apps}
bin="$build/bin"
declare -A slow=([contacts]=AddPerson [sms]=SendSMS [calllogs]=AddCallHistory
  [calendar]=AddCalender [photos]=checkFileisExist [videos]=write_videofile
  [music]=checkMusicFileisExist [apps]=getappindexinfo)
declare -A page=([contacts]=getcontactRange [sms]=getsmsRange [calllogs]=getcalllogRange
  [calendar]=getcalendarRange)

now() { date +%s.%N; }

report() { # label side t0 t1 kind out
  local took outcome mark=""
  took=$(echo "$4 - $3" | bc)
  outcome=$(tail -n 1 "$6" | python3 -c 'import json,sys
try:
  r = json.loads(sys.stdin.read()); k = r["kinds"]["'"$5"'"]; print(k["reason"] or k["outcome"])
except Exception: print("no report")')
  [ "$(echo "$took > 5" | bc)" = 1 ] && mark="  <-- above 5 s"
  printf '%-16s %-12s %8.2f %s%s\n' "$1" "$2" "$took" "$outcome" "$mark"
}

printf '%-16s %-12s %8s %s\n' kind unplugged seconds outcome
[[ $modes == *android* ]] || kinds=""
for kind in ${kinds//,/ }; do
  for side in source destination; do
    dir=$(mktemp -d "$build/bench-unplug.XXXXXX")
    "$bin/kestrova-lab" up --dir "$dir" --android 2 --scenario modern > "$dir/env"
    set -a; . "$dir/env"; set +a
    export TMPDIR="$dir"
    # Records enough for several of the job's pages (500 records each).
    "$bin/kestrova-lab" fill --dir "$dir" --phone 0 --contacts 1200 --messages 1200 --calls 1200 \
      --events 1200 --photos 40 --photo-size 200000 --videos 6 --video-size 20000000 --music 40 \
      --apps 8 > /dev/null
    slowphone=1 slowcmd=${slow[$kind]}
    [ "$kind" = apps ] && slowphone=0
    # Pulling the source out of a records copy: its pages come slowly, so
    # the pull lands while the job waits on the source (with the destination
    # slow instead, the job first stores the page it already holds).
    if [ "$side" = source ] && [ -n "${page[$kind]:-}" ]; then
      slowphone=0 slowcmd=${page[$kind]}
    fi
    printf 'stall=1\nonly=%s\n' "$slowcmd" > "$dir/phones/$slowphone/agent-faults"
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
    report "$kind" "$side" "$t0" "$t1" "$kind" "$dir/out"
    "$bin/kestrova-lab" down --dir "$dir" > /dev/null 2>&1 || true
    rm -rf "$dir"
  done
done

# --- An iPhone as the source (a phone of today: its personal kinds come
# through a backup the driver takes, its media over the file service), and a
# backup folder as the source. The iPhone is pulled out with the virtual
# iPhone's own "detach"; the Android destination with the lab's unplug.
iphone_case() { # kind side
  local kind=$1 side=$2 dir
  dir=$(mktemp -d "$build/bench-unplug.XXXXXX")
  "$bin/kestrova-lab" up --dir "$dir" --android 1 --scenario modern > "$dir/env"
  set -a; . "$dir/env"; set +a
  export TMPDIR="$dir" XDG_DATA_HOME="$dir/home/.local/share"
  mkfifo "$dir/iphone-in"
  "$bin/kestrova-virtual-iphone" --mux TCP:127.0.0.1:0 \
    --phone "root=$dir/iphone,fill=1,seed=3,ios=17.2,count=60,large-mb=40" \
    < "$dir/iphone-in" > "$dir/iphone-out" 2> /dev/null &
  local iphone=$!
  exec 3> "$dir/iphone-in"
  for _ in $(seq 1 300); do grep -q '^READY' "$dir/iphone-out" && break; sleep 0.1; done
  export "$(grep -o 'USBMUXD_SOCKET_ADDRESS=.*' "$dir/iphone-out")"
  if [ "$side" = source ]; then
    # Held mid-way: the backup (personal kinds) or the file stream (media).
    echo "stall 0 on" >&3
  else
    printf 'stall=1\nonly=%s\n' "${slow[$kind]}" > "$dir/phones/0/agent-faults"
  fi
  "$bin/kestrova-transfer" --from iphone:0 --to "android:$KESTROVA_LAB_SERIAL_0" \
    --kinds "$kind" > "$dir/out" 2> "$dir/err" &
  local driver=$!
  local started="progress $kind [1-9]"
  if [ "$side" = source ]; then
    case $kind in
      contacts | sms | calllogs | calendar) started="progress Reading the iPhone" ;;
      *) started="progress $kind " ;;
    esac
  fi
  for _ in $(seq 1 600); do
    grep -q "$started" "$dir/out" 2> /dev/null && break
    sleep 0.1
  done
  sleep 0.5
  local t0 t1
  t0=$(now)
  if [ "$side" = source ]; then
    echo "detach 0" >&3
  else
    "$bin/kestrova-lab" unplug --dir "$dir" --phone 0 > /dev/null
  fi
  wait "$driver" || true
  t1=$(now)
  report "iphone/$kind" "$side" "$t0" "$t1" "$kind" "$dir/out"
  echo quit >&3; exec 3>&-
  wait "$iphone" 2> /dev/null || true
  "$bin/kestrova-lab" down --dir "$dir" > /dev/null 2>&1 || true
  rm -rf "$dir"
}

backup_case() { # kind: the destination is pulled out while a backup is copied
  local kind=$1 dir
  dir=$(mktemp -d "$build/bench-unplug.XXXXXX")
  "$bin/kestrova-lab" up --dir "$dir" --android 1 --scenario modern > "$dir/env"
  set -a; . "$dir/env"; set +a
  export TMPDIR="$dir"
  "$bin/kestrova-backupfixture" --format db --ios 16 --seed 5 --count 60 --media 12 \
    --out "$dir/backups" > /dev/null
  printf 'stall=1\nonly=%s\n' "${slow[$kind]}" > "$dir/phones/0/agent-faults"
  "$bin/kestrova-transfer" --from backup:0 --backup-dir "$dir/backups" \
    --to "android:$KESTROVA_LAB_SERIAL_0" --kinds "$kind" > "$dir/out" 2> "$dir/err" &
  local driver=$!
  for _ in $(seq 1 600); do
    grep -q "progress $kind [1-9]" "$dir/out" 2> /dev/null && break
    sleep 0.1
  done
  local t0 t1
  t0=$(now)
  "$bin/kestrova-lab" unplug --dir "$dir" --phone 0 > /dev/null
  wait "$driver" || true
  t1=$(now)
  report "backup/$kind" destination "$t0" "$t1" "$kind" "$dir/out"
  "$bin/kestrova-lab" down --dir "$dir" > /dev/null 2>&1 || true
  rm -rf "$dir"
}


if [[ $modes == *iphone* ]]; then
  for kind in contacts sms photos videos; do
    iphone_case "$kind" source
    iphone_case "$kind" destination
  done
fi
if [[ $modes == *backup* ]]; then
  for kind in contacts sms calllogs calendar photos videos music; do
    backup_case "$kind"
  done
fi
