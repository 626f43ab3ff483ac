#!/usr/bin/python3
"""Benchmark of the whole server program (not a test).

Starts a (Release) QarServer headless with private folders on a free loopback port, lets
devsim's load mode send frame-mode ECG records from K carts at once, and reports records
per second received, stored and listed, and the time from a record's last byte to its
reply (p50/p99): with the outputs off, once with an empty list file and once with 5,000
of today's entries already in it; then with every ECG output on ("JPEG EKG", "PDF EKG",
"TXT EKG", "XML EKG", the real ECG control beside the server registered for the run),
where it also waits for the conversions and reports how many records were converted and
how fast the conversions went (records per second from the first record sent to the last
XML written). Every kind of run is repeated (--rounds) and the medians follow its lines.

    qarserver_bench.py --server build-rel/bin/QarServer [--carts 8] [--count 50]
                       [--rounds 3] [--outputs 8x50,50x20] [--skip-off] [--skip-on]
"""

import argparse
import configparser
import glob
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEVSIM = os.path.join(HERE, "..", "..", "tools", "devsim", "devsim.py")
ECG_OUTPUTS = ("JPEG EKG", "PDF EKG", "TXT EKG", "XML EKG")


def environment(root):
    env = dict(os.environ)
    env.update({"XDG_CONFIG_HOME": os.path.join(root, "config"),
                "XDG_DATA_HOME": os.path.join(root, "data"),
                "XDG_RUNTIME_DIR": os.path.join(root, "run"),
                "TMPDIR": os.path.join(root, "tmp")})
    for k in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "CORVANE_HOME"):
        env.pop(k, None)
    return env


def start(server, root):
    proc = subprocess.Popen([server, "--address", "127.0.0.1", "--port", "0",
                             "--device-search", "off"], env=environment(root),
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = proc.stdout.readline()
    port = int(line.split("127.0.0.1:")[1].split(",")[0])
    folder = line.split("storing in ")[1].strip()
    return proc, port, folder


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=120)


def listed(folder):
    c = configparser.RawConfigParser()
    c.optionxform = str
    c.read(os.path.join(folder, "FQarServer.ini"))
    return len(c.items("DATA_LIST")) if c.has_section("DATA_LIST") else 0


def converted(folder):
    return len(glob.glob(os.path.join(folder, "*_ekg.xml")))


def switch_outputs_on(server, root):
    """Every ECG output on, and the real ECG control beside the server registered."""
    bin_dir = os.path.dirname(os.path.abspath(server))
    subprocess.run([os.path.join(bin_dir, "regctl"), os.path.join(bin_dir, "libWavelin.so")],
                   env=environment(root), check=True, capture_output=True)
    profile = os.path.join(root, "config", "Corvane", "Corvane", "Qar Server.ini")
    os.makedirs(os.path.dirname(profile), exist_ok=True)
    with open(profile, "w", newline="") as f:
        f.write("[Environment]\r\n")
        for key in ECG_OUTPUTS:
            f.write("%s=1\r\n" % key)


def run(args, carts, count, prefill=0, outputs=False):
    with tempfile.TemporaryDirectory() as root:
        for d in ("run", "tmp"):
            os.makedirs(os.path.join(root, d), mode=0o700)
        if outputs:
            switch_outputs_on(args.server, root)
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
        began = time.perf_counter()
        out = subprocess.run([sys.executable, DEVSIM, "--port", str(port), "frame-ecg",
                              "--load", str(carts), "--count", str(count),
                              "--timeout", "600"], capture_output=True, text=True)
        result = json.loads(out.stdout.strip().splitlines()[-1])
        if outputs:
            # The conversions go on after the last reply: wait for them (or for a minute
            # without progress).
            done, last, stalled = converted(folder), time.perf_counter(), time.perf_counter()
            while done < result["stored"] and time.perf_counter() - stalled < 60:
                time.sleep(0.1)
                n = converted(folder)
                if n != done:
                    done, last, stalled = n, time.perf_counter(), time.perf_counter()
            result["converted"] = done
            result["conversions_per_second"] = round(done / (last - began), 1) if done else 0
        stop(proc)
        result["listed"] = listed(folder) - before
        result["list_entries_before"] = before
        return result


def line(r):
    text = ("%2d carts, list entries %5d: %4d records, %4d stored, %4d listed, "
            % (r["carts"], r["list_entries_before"], r["records"], r["stored"], r["listed"]))
    if "converted" in r:
        text += "%4d converted (%5.1f/s), " % (r["converted"], r["conversions_per_second"])
    return text + ("%6.1f records/s, reply p50 %6.1f ms, p99 %6.1f ms"
                   % (r["records_per_second"], r["reply_ms_p50"] or -1, r["reply_ms_p99"] or -1))


def rounds(results, title):
    """Each round's line, then the medians: on a shared machine one round says little."""
    for r in results:
        print(title + line(r), flush=True)
    if len(results) > 1:
        median = {k: statistics.median(r[k] or 0 for r in results)
                  for k in ("records_per_second", "reply_ms_p50", "reply_ms_p99")}
        text = "median of %d rounds: " % len(results)
        if "converted" in results[0]:
            text += "%5.1f conversions/s, " % statistics.median(
                r["conversions_per_second"] for r in results)
        print(title + text + "%6.1f records/s, reply p50 %6.1f ms, p99 %6.1f ms"
              % (median["records_per_second"], median["reply_ms_p50"], median["reply_ms_p99"]),
              flush=True)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--server", required=True)
    p.add_argument("--carts", type=int, default=8)
    p.add_argument("--count", type=int, default=50, help="records per cart")
    p.add_argument("--rounds", type=int, default=3, help="runs of each kind")
    p.add_argument("--outputs", default="8x50,50x20",
                   help="runs with every ECG output on: CARTSxRECORDS, comma separated")
    p.add_argument("--skip-off", action="store_true", help="no runs with the outputs off")
    p.add_argument("--skip-on", action="store_true", help="no runs with the outputs on")
    args = p.parse_args()
    if not args.skip_off:
        for prefill in (0, 5000):
            rounds([run(args, args.carts, args.count, prefill) for _ in range(args.rounds)],
                   "outputs off: ")
    if not args.skip_on:
        for size in args.outputs.split(","):
            carts, count = (int(x) for x in size.split("x"))
            rounds([run(args, carts, count, outputs=True) for _ in range(args.rounds)],
                   "outputs on:  ")
    return 0


if __name__ == "__main__":
    sys.exit(main())
