#!/bin/sh
# Receiving-path benchmark (not a test): a Release acqd on 127.0.0.1 with a working folder
# on disk, then acq_load with 8 and 50 carts and the packet device's file transfers.
#   acq_server/bench/load_bench.sh BUILD_DIR [RECORDS]
set -eu
build=${1:?build folder}
records=${2:-100}
work=$(mktemp -d "${TMPDIR:-/tmp}/acq_load.XXXXXX")
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
run_server() {
  rm -rf "$work/data"; mkdir -p "$work/data"
  "$build/bin/acqd" --folder "$work/data" --port 0 --idle-ms 600000 >"$work/acqd.out" 2>&1 &
  pid=$!
  for _ in $(seq 100); do grep -q LISTENING "$work/acqd.out" 2>/dev/null && break; sleep 0.05; done
  port=$(awk '/LISTENING/{print $3}' "$work/acqd.out")
}
stop_server() { kill "$pid"; wait "$pid" || true; }
for carts in 8 50; do
  run_server
  "$build/bin/acq_load" --port "$port" --carts "$carts" --records "$records" \
    --folder "$work/data" --pid "$pid" || true
  stop_server
done
run_server
"$build/bin/acq_load" --port "$port" --idle 500 --pid "$pid" || true
"$build/bin/acq_load" --port "$port" --packet-file 20000000 --count 1 || true
"$build/bin/acq_load" --port "$port" --packet-file 100000 --count 200 || true
stop_server
