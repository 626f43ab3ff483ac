#!/usr/bin/python3
"""An FTP server for the sender's tests: Debian's pyftpdlib on 127.0.0.1 with one user,
its password and a root folder of the test's own. Every command the server receives is
written to the log file, one line each ("CMD arg"), and each stored file as
"RECEIVED name" or "INCOMPLETE name". The bound port is printed as "PORT n" once the
server listens."""
import argparse
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", required=True)
    ap.add_argument("--password", required=True)
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--log", required=True)
    ap.add_argument("--perm", default="elradfmwMT", help="pyftpdlib permissions of the user")
    ap.add_argument("--readonly", action="append", default=[],
                    help="a folder below the root where the user may only read")
    ap.add_argument("--read-limit", type=int, default=0,
                    help="bytes per second the server takes of an upload (0: no limit)")
    args = ap.parse_args()

    log = open(args.log, "a", buffering=1, encoding="utf-8", errors="replace")

    def write(line):
        log.write(line + "\n")
        log.flush()

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            write("%s %s" % (cmd, arg) if arg else cmd)
            return FTPHandler.pre_process_command(self, line, cmd, arg)

        def on_file_received(self, path):
            write("RECEIVED " + os.path.relpath(path, args.root))

        def on_incomplete_file_received(self, path):
            write("INCOMPLETE " + os.path.relpath(path, args.root))

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm=args.perm)
    for folder in args.readonly:
        path = os.path.join(args.root, folder)
        os.makedirs(path, exist_ok=True)
        authorizer.override_perm(args.user, path, "elr", recursive=True)
    Handler.authorizer = authorizer
    Handler.permit_foreign_addresses = False
    Handler.auth_failed_timeout = 0.1  # the default 3 s only slows the tests down
    if args.read_limit > 0:
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.read_limit
        Handler.dtp_handler = dtp

    server = FTPServer(("127.0.0.1", args.port), Handler)
    sys.stdout.write("PORT %d\n" % server.address[1])
    sys.stdout.flush()
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
