#!/usr/bin/python3
"""Benchmark of the whole server program (not a test).

Starts a (Release) QarServer headless with private folders on a free loopback port, lets
devsim's load mode send frame-mode ECG records from K carts at once, and reports records
per second received, stored and listed, and the time from a record's last byte to its
reply (p50/p99): once with an empty list file and once with 5,000 of today's entries
already in it.

    qarserver_bench.py --server build-release/bin/QarServer [--carts 8] [--count 50]
"""

import argparse
import configparser
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEVSIM = os.path.join(HERE, "..", "..", "tools", "devsim", "devsim.py")


def start(server, root):
    env = dict(os.environ)
    env.update({"XDG_CONFIG_HOME": os.path.join(root, "config"),
                "XDG_DATA_HOME": os.path.join(root, "data"),
                "XDG_RUNTIME_DIR": os.path.join(root, "run"),
                "TMPDIR": os.path.join(root, "tmp")})
    for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "CORVANE_HOME"):
        env.pop(k, None)
    proc = subprocess.Popen([server, "--address", "127.0.0.1", "--port", "0",
                             "--device-search", "off"], env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    line = proc.stdout.readline()
    port = int(line.split("127.0.0.1:")[1].split(",")[0])
    folder = line.split("storing in ")[1].strip()
    return proc, port, folder


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=30)


def listed(folder):
    c = configparser.RawConfigParser()
    c.optionxform = str
    c.read(os.path.join(folder, "FQarServer.ini"))
    return len(c.items("DATA_LIST")) if c.has_section("DATA_LIST") else 0


def run(args, prefill):
    with tempfile.TemporaryDirectory() as root:
        for d in ("run", "tmp"):
            os.makedirs(os.path.join(root, d), mode=0o700)
        proc, port, folder = start(args.server, root)
        if prefill:
            stop(proc)
            today = time.strftime("%Y%m%d%H%M")
            with open(os.path.join(folder, "FQarServer.ini"), "w", newline="") as f:
                f.write("[DATA_LIST]\r\n")
                for i in range(prefill):
                    f.write("PATP%05d_%s=P%05d %s %s/P%05d_20260101000000.ekg\r\n"
                            % (i, today, i, today, folder, i))
            proc, port, folder = start(args.server, root)
        before = listed(folder)
        out = subprocess.run([sys.executable, DEVSIM, "--port", str(port), "frame-ecg",
                              "--load", str(args.carts), "--count", str(args.count),
                              "--timeout", "60"], capture_output=True, text=True)
        stop(proc)
        result = json.loads(out.stdout.strip().splitlines()[-1])
        result["listed"] = listed(folder) - before
        result["list_entries_before"] = before
        return result


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--server", required=True)
    p.add_argument("--carts", type=int, default=8)
    p.add_argument("--count", type=int, default=50, help="records per cart")
    p.add_argument("--rounds", type=int, default=3)
    args = p.parse_args()
    for prefill in (0, 5000):
        for _ in range(args.rounds):
            r = run(args, prefill)
            print("list entries %5d: %4d records, %4d stored, %4d listed, %6.1f records/s, "
                  "reply p50 %6.1f ms, p99 %6.1f ms"
                  % (r["list_entries_before"], r["records"], r["stored"], r["listed"],
                     r["records_per_second"], r["reply_ms_p50"] or -1, r["reply_ms_p99"] or -1),
                  flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
