#!/usr/bin/env bash
# Runs a command beside GigE Vision cameras on loopback, inside a private network namespace, so
# that neither discovery nor streams ever leave the machine or meet a real network:
#   scripts/gev-loopback.sh LAUNCHER "SERIAL MODEL" [...] -- COMMAND [ARGS...]
# Each camera gets an address of its own (127.0.0.1, 127.0.0.2, ...). Exits 77 (a skipped test)
# when the namespace cannot be made (no privilege), with a line that says so.
set -euo pipefail

if [ "${KORVEX_IN_NAMESPACE:-}" != 1 ]; then
  if ! unshare -n true 2>/dev/null; then
    echo "gev-loopback: SKIPPED: a private network namespace cannot be made here (unshare -n needs CAP_SYS_ADMIN)"
    exit 77
  fi
  exec env KORVEX_IN_NAMESPACE=1 unshare -n "$0" "$@"
fi

# Beside real GigE Vision cameras the driver chooses its network itself.
unset KORVEX_TRANSPORT KORVEX_CAMERAS
launcher=$1
shift
ip link set lo up
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true' EXIT
n=1
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  read -r serial model <<< "$1"
  address="127.0.0.$n"
  [ "$n" -gt 1 ] && ip addr add "$address/8" dev lo 2>/dev/null || true
  log=$(mktemp)
  "$launcher" --address "$address" --serial "$serial" --model "$model" > "$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do grep -q '^ready' "$log" && break; sleep 0.05; done
  grep -q '^ready' "$log" || { echo "gev-loopback: camera $serial did not start:"; cat "$log"; exit 1; }
  n=$((n + 1))
  shift
done
[ "${1:-}" = "--" ] && shift
# The cameras' processes, in the order given, for a test that pulls one off the network (and
# the launcher, to bring it back).
export KORVEX_GEV_PIDS="${pids[*]}" KORVEX_GEV_LAUNCHER="$launcher"
"$@"
