#!/usr/bin/env python3
"""A private SMB server for the GDT tests, on 127.0.0.1 only.

  smbpeer.py serve --dir D --user U --password P [--port N]
      smbd with its own configuration and state in a private temporary folder (no NetBIOS,
      a private tdbsam user) and one writable share "gdt" at D; prints "READY <port>" once it listens
      and runs until it is terminated (SIGTERM ends smbd too).
  smbpeer.py silent [--port N]
      a server that accepts connections and never answers; prints "READY <port>".

Run as root (smbd needs it); nothing is left running after the caller ends it."""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_listening(port, proc, seconds=20.0):
    end = time.time() + seconds
    while time.time() < end:
        if proc is not None and proc.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def remove(folder):
    """smbd's helper processes may still be ending and writing their state: try again."""
    for _ in range(50):
        shutil.rmtree(folder, ignore_errors=True)
        if not os.path.exists(folder):
            return
        time.sleep(0.1)


def wait_session(port, user, password, proc, seconds=30.0):
    """A fresh smbd accepts before it serves: wait until a logon to the share works."""
    end = time.time() + seconds
    while time.time() < end:
        if proc.poll() is not None:
            return False
        r = subprocess.run(["smbclient", "-p", str(port), "//127.0.0.1/gdt", "-U", f"{user}%{password}",
                            "-c", "ls"], capture_output=True, timeout=30)
        if r.returncode == 0:
            return True
        time.sleep(0.2)
    return False


def serve(args):
    # smbd's sockets live in its state folders, whose paths must stay short: a private
    # folder of its own, removed at the end; the share is the folder the caller gives.
    d = tempfile.mkdtemp(prefix="smbp")
    share = os.path.abspath(args.dir)
    os.makedirs(share, exist_ok=True)
    os.chmod(share, 0o777)
    for sub in ("private", "lock", "state", "cache", "pid", "ncalrpc"):
        os.makedirs(os.path.join(d, sub), exist_ok=True)
    port = args.port or free_port()
    conf = os.path.join(d, "smb.conf")
    with open(conf, "w") as f:
        f.write(f"""[global]
  server role = standalone server
  workgroup = WORKGROUP
  interfaces = 127.0.0.1
  bind interfaces only = yes
  smb ports = {port}
  disable netbios = yes
  server min protocol = SMB2_02
  passdb backend = tdbsam:{d}/private/passdb.tdb
  private dir = {d}/private
  lock directory = {d}/lock
  state directory = {d}/state
  cache directory = {d}/cache
  pid directory = {d}/pid
  ncalrpc dir = {d}/ncalrpc
  log file = {d}/log.smbd
  max log size = 1000
  map to guest = never
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  registry shares = no
  usershare max shares = 0
  store dos attributes = yes

[gdt]
  path = {share}
  read only = no
  valid users = {args.user}
  # the test's folders are private to root: files are reached as root
  force user = root
  force group = root
  create mask = 0666
  directory mask = 0777
""")
    pw = f"{args.password}\n{args.password}\n"
    r = subprocess.run(["smbpasswd", "-c", conf, "-s", "-a", args.user], input=pw.encode(),
                       capture_output=True)
    if r.returncode != 0:
        sys.stderr.write("smbpasswd failed: " + r.stderr.decode(errors="replace"))
        shutil.rmtree(d, ignore_errors=True)
        return 1
    proc = subprocess.Popen(["smbd", "--foreground", "--no-process-group", "--debug-stdout",
                             "-d", "0", f"--configfile={conf}"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(*_):
        # The main thread is waiting for smbd; it cleans up once smbd has ended.
        proc.terminate()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if not wait_listening(port, proc) or not wait_session(port, args.user, args.password, proc):
        sys.stderr.write("smbd did not start\n")
        proc.kill()
        proc.wait()
        remove(d)
        return 1
    print(f"READY {port}", flush=True)
    proc.wait()
    remove(d)
    return 0


def silent(args):
    port = args.port or 0
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port))
    s.listen(16)
    print(f"READY {s.getsockname()[1]}", flush=True)
    held = []
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        c, _ = s.accept()
        held.append(c)  # accepted, never answered


def main():
    p = argparse.ArgumentParser()
    sub = p.add_subparsers(dest="cmd", required=True)
    a = sub.add_parser("serve")
    a.add_argument("--dir", required=True)
    a.add_argument("--user", required=True)
    a.add_argument("--password", required=True)
    a.add_argument("--port", type=int, default=0)
    b = sub.add_parser("silent")
    b.add_argument("--port", type=int, default=0)
    args = p.parse_args()
    return serve(args) if args.cmd == "serve" else silent(args)


if __name__ == "__main__":
    sys.exit(main())
