#!/usr/bin/env bash
# Benchmark of one Android-to-Android job in the virtual lab, kind by kind,
# against a floor measured in the same run: for files, a plain `adb pull` +
# `adb push` of the same files between the same phones; for contacts and
# messages, kestrova-agent-floor, a minimal client sending the same agent
# commands. Prints per kind the driver's wall time, the kind's own time inside
# the job (without preparing the phones), the floor, their ratio and the
# driver's peak memory. Not a test.
#
#   bench/transfer/transfer_bench.sh [BUILD_DIR] [SCALE]
#
# SCALE 1 is the full job: 1,000 contacts, 10,000 messages, 200 photos of
# 2 MB and 5 videos of 100 MB (about 900 MB of files); 0.1 runs a tenth.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
scale=${2:-1}
bin="$build/bin"
dir=$(mktemp -d "$build/bench-transfer.XXXXXX")
n() { awk -v v="$1" -v s="$scale" 'BEGIN { x = int(v * s); print (x < 1 ? 1 : x) }'; }

"$bin/kestrova-lab" up --dir "$dir" --android 2 --scenario modern > "$dir/env"
trap '"$bin/kestrova-lab" down --dir "$dir" >/dev/null 2>&1; rm -rf "$dir"' EXIT
set -a; . "$dir/env"; set +a
export TMPDIR="$dir"
src="android:$KESTROVA_LAB_SERIAL_0"
dst="android:$KESTROVA_LAB_SERIAL_1"
"$bin/kestrova-lab" fill --dir "$dir" --phone 0 --contacts "$(n 1000)" --messages "$(n 10000)" \
  --calls 0 --events 0 --photos "$(n 200)" --photo-size 2000000 --videos 5 \
  --video-size "$(n 100000000)" --music 0 --apps 0 > /dev/null

seconds() { local t0 t1; t0=$(date +%s.%N); "$@" > /dev/null 2>&1; t1=$(date +%s.%N); echo "$t1 - $t0" | bc; }

# Floor: pull every file of one media kind from the source and push it to
# the destination, one adb call each, as a person with adb would.
"$bin/kestrova-lab" dump --dir "$dir" --phone 0 > "$dir/source.json"
floor_files() {
  local kind=$1 local_dir="$dir/floor" path
  rm -rf "$local_dir" && mkdir -p "$local_dir"
  python3 -c 'import json,sys
for f in json.load(open(sys.argv[1]))["files"]:
    if f["kind"] == sys.argv[2]: print(f["path"])' "$dir/source.json" "$kind" |
  while IFS= read -r path; do
    adb -s "$KESTROVA_LAB_SERIAL_0" pull "/sdcard/$path" "$local_dir/f"
    adb -s "$KESTROVA_LAB_SERIAL_1" push "$local_dir/f" "/sdcard/Floor/$(basename "$path")"
  done
}

# The kind's own time as the driver's report gives it.
kind_seconds() {
  tail -n 1 "$1" | python3 -c 'import json,sys
print(json.load(sys.stdin)["kinds"][sys.argv[1]]["seconds"])' "$2" 2>/dev/null || echo 0
}

# Floor for records: the same agent commands from a minimal client. Its own
# line says how much of it was the SMS handshake (the lab's user answers
# after two seconds, polled once a second as the job does).
floor_records() {
  "$bin/kestrova-agent-floor" --from "$KESTROVA_LAB_SERIAL_0" --to "$KESTROVA_LAB_SERIAL_1" \
    --kind "$1" 2>/dev/null | grep '^floor ' | tail -n 1
}
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }

min() { printf '%s\n' "$@" | sort -g | head -n 1; }

# One job of one kind; sets driver (wall seconds, preparation included) and
# job (the kind's own seconds) and keeps the report and peak memory.
run_job() {
  local kind=$1 t0 t1
  t0=$(date +%s.%N)
  /usr/bin/time -f '%M' -o "$dir/$kind.rss" "$bin/kestrova-transfer" --from "$src" --to "$dst" \
    --kinds "$kind" > "$dir/$kind.log" 2>&1 || true
  t1=$(date +%s.%N)
  driver=$(echo "$t1 - $t0" | bc)
  job=$(kind_seconds "$dir/$kind.log" "$kind")
}

printf '%-10s %9s %9s %9s %8s %12s\n' kind driver_s job_s floor_s ratio peak_rss_kb
for kind in contacts sms photos videos; do
  note=""
  case $kind in
    photos) run_job "$kind"; floor=$(seconds floor_files photo) ;;
    videos) run_job "$kind"; floor=$(seconds floor_files video) ;;
    contacts|sms)
      # The machine is shared: three rounds of job then floor, the best of
      # each (the floor leaves the destination empty for the next job).
      jobs=() floors=() drivers=()
      for round in 1 2 3; do
        run_job "$kind"
        jobs+=("$job") drivers+=("$driver")
        line=$(floor_records "$kind")
        floors+=("$(echo "$line" | field total_s)")
      done
      job=$(min "${jobs[@]}") driver=$(min "${drivers[@]}") floor=$(min "${floors[@]}")
      note="  rounds: job ${jobs[*]} s, floor ${floors[*]} s; floor $(echo "$line" | field records) records, handshake $(echo "$line" | field handshake_s) s"
      ;;
  esac
  ratio=""
  [ -n "$floor" ] && ratio=$(echo "scale=2; $job / $floor" | bc)
  printf '%-10s %9.2f %9.2f %9.2f %8s %12s\n' "$kind" "$driver" "$job" "${floor:-0}" "${ratio:--}" \
    "$(cat "$dir/$kind.rss")"
  [ -n "$note" ] && echo "$note"
  grep -q '"outcome":"success"' "$dir/$kind.log" || echo "  (not everything arrived: see the report in $dir/$kind.log)"
done
