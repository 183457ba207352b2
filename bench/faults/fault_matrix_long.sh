#!/usr/bin/env bash
# The long fault matrix: every fault the lab can inject, on the source and on
# the destination, during every kind of an Android-to-Android copy. For each
# case the driver runs to its end (with a bound), and the report is checked
# against what arrived: the destination's dump must hold exactly as many
# items of the kind as the report says copied, each one whole (its content
# is among the source's), and "success" only when everything arrived. The
# suite's fault matrix is a fast subset of this; this one takes a while.
# Prints one line per case and a summary; exit status 1 when a case broke
# its rule. Not a test.
#
#   bench/faults/fault_matrix_long.sh [BUILD_DIR] [KINDS] [FAULTS]
#   KINDS:  contacts,sms,calllogs,calendar,photos,videos,music (default)
#   FAULTS: stall,cut,oversize,drop,diskfull,unplug (default)
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
kinds=${2:-contacts,sms,calllogs,calendar,photos,videos,music}
faults=${3:-stall,cut,oversize,drop,diskfull,unplug}
bin="$build/bin"
bound=60 # seconds a job may take with a fault in it
declare -A dumpkey=([contacts]=contacts [sms]=messages [calllogs]=calls [calendar]=calendar
  [photos]=photo [videos]=video [music]=music)
# The agent command each kind spends most of its time in, per side.
declare -A readcmd=([contacts]=getcontactRange [sms]=getsmsRange [calllogs]=getcalllogRange
  [calendar]=getcalendarRange [photos]=getdcimindexinfo [videos]=getvideoindexinfo
  [music]=getmusicindexinfo)
declare -A writecmd=([contacts]=AddPerson [sms]=SendSMS [calllogs]=AddCallHistory
  [calendar]=AddCalender [photos]=checkFileisExist [videos]=checkVideoFileisExist
  [music]=checkMusicFileisExist)

broken=0 cases=0
printf '%-9s %-12s %-9s %6s %-10s %s\n' kind side fault secs verdict report
for kind in ${kinds//,/ }; do
  for side in source destination; do
    for fault in ${faults//,/ }; do
      [ "$fault" = diskfull ] && [ "$side" = source ] && continue
      dir=$(mktemp -d "$build/bench-faults.XXXXXX")
      "$bin/kestrova-lab" up --dir "$dir" --android 2 --scenario modern > "$dir/env"
      set -a; . "$dir/env"; set +a
      export TMPDIR="$dir"
      "$bin/kestrova-lab" fill --dir "$dir" --phone 0 --records 30 --photos 8 \
        --photo-size 150000 --videos 3 --video-size 3000000 --music 8 > /dev/null
      phone=0 cmd=${readcmd[$kind]}
      [ "$side" = destination ] && phone=1 cmd=${writecmd[$kind]}
      case $fault in
        stall) printf 'stall=4\nonly=%s\ntimes=1\n' "$cmd" > "$dir/phones/$phone/agent-faults" ;;
        cut) printf 'cut=3\nonly=%s\ntimes=1\n' "$cmd" > "$dir/phones/$phone/agent-faults" ;;
        oversize) printf 'oversize=64\ndrop=1\nonly=%s\ntimes=1\n' "$cmd" \
          > "$dir/phones/$phone/agent-faults" ;;
        drop) "$bin/kestrova-lab" fault --dir "$dir" --phone "$phone" --kind drop-after-bytes \
          --value 200000 > /dev/null ;;
        diskfull) "$bin/kestrova-lab" fault --dir "$dir" --phone "$phone" --kind disk-full \
          --value 400000 > /dev/null ;;
        # The destination takes each item slowly, so the pull lands mid-kind.
        unplug) printf 'stall=1\nonly=%s\n' "${writecmd[$kind]}" > "$dir/phones/1/agent-faults" ;;
      esac
      start=$(date +%s.%N)
      timeout "$bound" "$bin/kestrova-transfer" --from "android:$KESTROVA_LAB_SERIAL_0" \
        --to "android:$KESTROVA_LAB_SERIAL_1" --kinds "$kind" > "$dir/out" 2> "$dir/err" &
      driver=$!
      if [ "$fault" = unplug ]; then
        for _ in $(seq 1 300); do
          grep -q "progress $kind [1-9]" "$dir/out" 2> /dev/null && break
          sleep 0.05
        done
        "$bin/kestrova-lab" unplug --dir "$dir" --phone "$phone" > /dev/null
      fi
      wait "$driver"
      code=$?
      took=$(echo "$(date +%s.%N) - $start" | bc)
      "$bin/kestrova-lab" fault --dir "$dir" --phone "$phone" --kind clear > /dev/null 2>&1
      rm -f "$dir/phones/0/agent-faults" "$dir/phones/1/agent-faults"
      [ "$fault" = unplug ] && "$bin/kestrova-lab" plug --dir "$dir" --phone "$phone" > /dev/null
      "$bin/kestrova-lab" dump --dir "$dir" --phone 0 --out "$dir/source.json" > /dev/null
      "$bin/kestrova-lab" dump --dir "$dir" --phone 1 --out "$dir/destination.json" > /dev/null
      verdict=$(python3 - "$dir" "$kind" "${dumpkey[$kind]}" "$code" "$side" "$fault" << 'PY'
import json, sys
d, kind, key, code, side, fault = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5], sys.argv[6]
try:
    report = json.loads(open(d + "/out").read().strip().splitlines()[-1])
    k = report["kinds"][kind]
except Exception:
    print("BROKEN no-report exit=%d" % code); sys.exit()
def items(dump):
    if key in ("photo", "video", "music"):
        return [f["sha256"] for f in dump.get("files", []) if f["kind"] == key]
    return [json.dumps({a: b for a, b in r.items() if a not in ("id", "_id")}, sort_keys=True)
            for r in dump.get(key, [])]
try:
    src = items(json.load(open(d + "/source.json")))
    dst = items(json.load(open(d + "/destination.json")))
except Exception as e:
    print("BROKEN no-dump %s" % e); sys.exit()
problems = []
# A destination pulled out while it stored an item: the item may be there
# while its answer never came back. Nobody can know until the phone returns
# (the next run then finds it there); one such item is not a false report.
in_flight = side == "destination" and fault in ("unplug", "drop") and len(dst) == k["copied"] + 1
if in_flight:
    text_note = " (one item in flight when the phone went)"
else:
    text_note = ""
if len(dst) != k["copied"] and not in_flight:
    problems.append("arrived %d, report says %d" % (len(dst), k["copied"]))
if key in ("photo", "video", "music") and any(x not in src for x in dst):
    problems.append("a file arrived damaged")
if k["outcome"] == "success" and k["copied"] + k.get("already", 0) != len(src):
    problems.append("success with %d of %d" % (k["copied"], len(src)))
if k["outcome"] != "success" and code != 1:
    problems.append("exit %d for %s" % (code, k["outcome"]))
text = "%s: %s%s" % (k["outcome"], k.get("reason") or "", text_note)
print(("BROKEN " + "; ".join(problems) + " | " if problems else "ok | ") + text)
PY
)
      cases=$((cases + 1))
      over=""
      [ "$(echo "$took > $bound - 1" | bc)" = 1 ] && over=" (no end within ${bound} s)" && verdict="BROKEN $verdict"
      case $verdict in BROKEN*) broken=$((broken + 1)) ;; esac
      printf '%-9s %-12s %-9s %6.1f %s%s\n' "$kind" "$side" "$fault" "$took" "$verdict" "$over"
      "$bin/kestrova-lab" down --dir "$dir" > /dev/null 2>&1 || true
      rm -rf "$dir"
    done
  done
done
echo "$cases cases, $broken broken"
[ "$broken" = 0 ]
