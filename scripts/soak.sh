#!/usr/bin/env bash
# The conveyor inspection with the ejector for SECONDS (default 600), watched from outside: the host
# stand-in must judge every product right (0 missed, 0 rejected wrongly, every ejector line once
# and in order), and its resident memory, open files and threads must stay flat: at most 5 % above
# what they were once the run had settled (after its first minute, or its first third when shorter).
#   scripts/soak.sh BUILD_DIR [SECONDS]
set -euo pipefail

build=${1:?usage: soak.sh BUILD_DIR [SECONDS]}
seconds=${2:-600}
host="$build/tools/korvex-host/korvex-host"
work="$build/soak"
rate=8000                    # belt lines a second: 2,000 counter steps, the trace and ground truth stay small
steps=$((seconds * rate / 4))
settled=$((seconds < 180 ? seconds / 3 : 60))

rm -rf "$work"
mkdir -p "$work/system" "$work/pictures"
"$host" --system-path "$work/system" --out "$work/pictures" --line-rate "$rate" --drop-every 500 \
  conveyor "Basler raL2048-48gm (21000001)" "$steps" > "$work/conveyor.txt" 2>&1 &
pid=$!

# One sample every `period` seconds while it runs: seconds since the start, resident kB, open
# files, threads.
period=2
echo "seconds,rss_kb,open_files,threads" > "$work/samples.csv"
start=$(date +%s)
while kill -0 "$pid" 2>/dev/null; do
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  files=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l || true)
  [ -n "$rss" ] && echo "$(( $(date +%s) - start )),$rss,$files,$threads" >> "$work/samples.csv"
  sleep "$period"
done
status=0
wait "$pid" || status=$?

sed -e 's/\r/\n/g' "$work/conveyor.txt" | grep -v '^  \[' | tail -22
# The run's own part: samples from `settled` on, up to the judging at the end (which reads the
# files it wrote and so grows on purpose): the last sample taken within the steps' time. Samples
# are stamped in whole seconds of the script's clock, which may run a second ahead of the steps'
# own: the last one judged lies a sampling period before their end.
awk -F, -v settled="$settled" -v last="$((seconds - period))" '
  NR == 1 { next }
  $1 >= settled && base == "" { base = $0 }
  $1 <= last { end = $0 }
  END {
    if (base == "" || end == "") { print "soak: too few samples"; exit 1 }
    split(base, b, ","); split(end, e, ",")
    printf "soak: after %d s: %d kB resident, %d files, %d threads; at %d s: %d kB, %d files, %d threads\n",
           b[1], b[2], b[3], b[4], e[1], e[2], e[3], e[4]
    bad = 0
    for (i = 2; i <= 4; ++i) if (e[i] > b[i] * 1.05) bad = 1
    exit bad
  }' "$work/samples.csv" || { echo "soak: FAILED: resources grew by more than 5 % (see $work/samples.csv)"; exit 1; }
if [ "$status" -ne 0 ]; then
  echo "soak: FAILED: the inspection judged the run wrong (see $work/conveyor.txt)"
  exit 1
fi
echo "soak: passed, ${seconds} s"
