#!/usr/bin/env bash
# Benchmark of running the same Android-to-Android job twice in the virtual
# lab: the first run copies everything, the second finds everything there
# and copies nothing. Prints per kind the kind's own time inside the job in
# each run, the driver's wall time of each run (preparing the phones
# included) and the ratio second/first. Not a test.
#
#   bench/transfer/rerun_bench.sh [BUILD_DIR] [SCALE]
#
# SCALE 1 is the full job: 1,000 contacts, 10,000 messages and 200 photos of
# 2 MB; 0.1 runs a tenth.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
scale=${2:-1}
bin="$build/bin"
dir=$(mktemp -d "$build/bench-rerun.XXXXXX")
n() { awk -v v="$1" -v s="$scale" 'BEGIN { x = int(v * s); print (x < 1 ? 1 : x) }'; }

"$bin/kestrova-lab" up --dir "$dir" --android 2 --scenario modern > "$dir/env"
trap '"$bin/kestrova-lab" down --dir "$dir" >/dev/null 2>&1; rm -rf "$dir"' EXIT
set -a; . "$dir/env"; set +a
export TMPDIR="$dir"
"$bin/kestrova-lab" fill --dir "$dir" --phone 0 --contacts "$(n 1000)" --messages "$(n 10000)" \
  --calls 0 --events 0 --photos "$(n 200)" --photo-size 2000000 --videos 0 --music 0 \
  --apps 0 > /dev/null

# One run of the job; its report in $dir/run-N.log, its wall seconds printed.
run() {
  local t0 t1
  t0=$(date +%s.%N)
  "$bin/kestrova-transfer" --from "android:$KESTROVA_LAB_SERIAL_0" \
    --to "android:$KESTROVA_LAB_SERIAL_1" --kinds contacts,sms,photos > "$dir/run-$1.log" 2>&1 || true
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc
}
first=$(run 1)
second=$(run 2)

python3 - "$dir/run-1.log" "$dir/run-2.log" "$first" "$second" <<'PY'
import json, sys
reports = [json.loads(open(p).read().strip().split("\n")[-1])["kinds"] for p in sys.argv[1:3]]
walls = [float(w) for w in sys.argv[3:5]]
print(f"{'kind':<10} {'first_s':>9} {'second_s':>9} {'ratio':>7}  second run")
total = [0.0, 0.0]
for kind in reports[0]:
    a, b = reports[0][kind]["seconds"], reports[1][kind]["seconds"]
    total[0] += a
    total[1] += b
    print(f"{kind:<10} {a:9.2f} {b:9.2f} {b / a if a else 0:7.3f}  {reports[1][kind]['text']}")
print(f"{'kinds':<10} {total[0]:9.2f} {total[1]:9.2f} {total[1] / total[0]:7.3f}")
print(f"{'driver':<10} {walls[0]:9.2f} {walls[1]:9.2f} {walls[1] / walls[0]:7.3f}  (preparing the phones included)")
PY
