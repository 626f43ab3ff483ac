#!/bin/sh
# Benchmark (not a test) of the server library: K carts sending N records each at once to
# oxuhost on 127.0.0.1; prints the replies per second, the time from the last reply to the
# last row in the database (watched with the database's own client), how long the stop
# took, and checks the rows against what was sent.
#   oxu_bench.sh <build bin folder> sqlite|pg [dicom] [carts] [records]
set -eu
bin=$(cd "$1" && pwd); backend=$2; dicom=${3:-0}; carts=${4:-50}; records=${5:-100}
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/oxubench-XXXXXX)
chmod 755 "$work"  # the cluster's user passes through it
pgbin=$(pg_config --bindir)
cleanup() {
  [ -n "${hostpid:-}" ] && kill -9 "$hostpid" 2>/dev/null || true
  if [ -d "$work/pg/data" ]; then runuser -u postgres -- "$pgbin/pg_ctl" -D "$work/pg/data" -m immediate stop >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
home=$work/home/oxuhost
mkdir -p "$home"
ini=$home/Oxu.ini
printf '[OXU_SERVER]\r\nBIND_ADDRESS=127.0.0.1\r\nECG_PORT=0\r\nFILE_PORT=0\r\nDICOM_CONV=%s\r\n[OXU_DB]\r\n' "$dicom" > "$ini"
if [ "$backend" = pg ]; then
  mkdir -p "$work/pg" && chown postgres "$work/pg"
  runuser -u postgres -- "$pgbin/initdb" -D "$work/pg/data" -A trust -U oxu -E UTF8 --no-sync --no-locale >/dev/null
  runuser -u postgres -- "$pgbin/pg_ctl" -D "$work/pg/data" -l "$work/pg/log" -w -o "-c listen_addresses='' -k $work/pg" start >/dev/null
  "$pgbin/createdb" -h "$work/pg" -U oxu oxudb
  printf 'DB_HOST=%s\r\nDB_NAME=oxudb\r\nDB_USER=oxu\r\nDB_ACCESS_MDB=0\r\n' "$work/pg" >> "$ini"
  check="--psql $work/pg oxudb oxu"
else
  printf 'DB_HOST=%s\r\nDB_ACCESS_MDB=1\r\n' "$home/Database/oxunet.mdb" >> "$ini"
  check="--sqlite $home/Database/oxunet.mdb"
fi
CORVANE_HOME=$work/home "$bin/oxuhost" > "$work/host.out" 2>&1 &
hostpid=$!
for i in $(seq 1 300); do grep -q READY "$work/host.out" && break; sleep 0.1; done
port=$(sed -n 's/^READY ecg=\([0-9]*\).*/\1/p' "$work/host.out")
result=$(python3 "$src/tools/devsim/devsim.py" --port "$port" --timeout 120 --carts "$carts" --records "$records" --id B --expect "$work/expect.json" || true)
answered=$(echo "$result" | sed -n 's/.*"answered": \([0-9]*\).*/\1/p')
# Seconds from here (the last reply) until the database holds a row for every answer.
backlog=$(python3 - "$backend" "$answered" $check <<'PY'
import sqlite3, subprocess, sys, time
backend, want, args = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
start = time.monotonic()
def count():
    q = "SELECT COUNT(*) FROM instance"
    if backend == "pg":
        out = subprocess.run(["psql", "-X", "-A", "-t", "-q", "-h", args[1], "-U", args[3], "-d", args[2], "-c", q],
                             capture_output=True, text=True)
        return int(out.stdout.strip() or 0)
    try:
        return sqlite3.connect("file:%s?mode=ro" % args[1], uri=True).execute(q).fetchone()[0]
    except sqlite3.Error:
        return 0
while count() < want and time.monotonic() - start < 600:
    time.sleep(0.02)
print("%.3f" % (time.monotonic() - start))
PY
)
t0=$(date +%s.%N)
kill -TERM "$hostpid"; wait "$hostpid" || true; hostpid=
t1=$(date +%s.%N)
echo "backend=$backend dicom=$dicom $result"
echo "last row after the last reply: $backlog s"
echo "stop: $(echo "$t1 - $t0" | bc) s"
/usr/bin/python3 "$src/server_lib/tests/oxurows_check.py" "$work/expect.json" $check --every 50
