#!/usr/bin/env python3
"""GDT files for the tests, written and checked from the format itself.

  gdtfile.py order PATH --field ID=VALUE ...   writes an order record (type 6302 unless an
                                                8000 field is given), with its 8100 length
  gdtfile.py check PATH                        checks a record and prints its fields as JSON:
      every line's stated length equals the line, every line ends in CR LF, there is one
      8100 field, right after the first 8000 field, equal to the file's size, and the stated
      lengths add up to that size. Exit 1 with the reason on standard error otherwise.
Values are bytes of the installation code page; the JSON carries them as latin-1 text."""
import argparse
import json
import sys


def line(field_id, value):
    body = b"%04d" % field_id + value
    return b"%03d" % (len(body) + 5) + body + b"\r\n"


def write_order(path, fields):
    pairs = []
    for f in fields:
        fid, _, value = f.partition("=")
        pairs.append((int(fid), value.encode("latin-1")))
    if not any(fid == 8000 for fid, _ in pairs):
        pairs.insert(0, (8000, b"6302"))
    body = [line(fid, v) for fid, v in pairs if fid != 8100]
    total = sum(len(x) for x in body) + 14
    first = next(i for i, (fid, _) in enumerate(p for p in pairs if p[0] != 8100) if fid == 8000)
    body.insert(first + 1, line(8100, b"%05d" % total))
    data = b"".join(body)
    assert len(data) == total
    with open(path, "wb") as f:
        f.write(data)


def check(path):
    data = open(path, "rb").read()
    fields, pos, total = [], 0, 0
    while pos < len(data):
        end = data.find(b"\r\n", pos)
        if end < 0:
            return fail("a line without CR LF at byte %d" % pos)
        raw = data[pos:end + 2]
        try:
            stated = int(raw[:3])
        except ValueError:
            return fail("no length digits at byte %d" % pos)
        if stated != len(raw):
            return fail("line at byte %d states %d bytes, has %d" % (pos, stated, len(raw)))
        if stated > 999:
            return fail("line at byte %d is longer than 999 bytes" % pos)
        fields.append([int(raw[3:7]), raw[7:-2].decode("latin-1")])
        total += stated
        pos = end + 2
    ids = [f[0] for f in fields]
    if ids.count(8100) != 1:
        return fail("%d 8100 fields" % ids.count(8100))
    if 8000 not in ids or ids.index(8100) != ids.index(8000) + 1:
        return fail("8100 is not right after the first 8000")
    if int(fields[ids.index(8100)][1]) != len(data) or len(fields[ids.index(8100)][1]) != 5:
        return fail("8100 says %s, the file has %d bytes" % (fields[ids.index(8100)][1], len(data)))
    if total != len(data):
        return fail("lengths add up to %d, the file has %d bytes" % (total, len(data)))
    json.dump(fields, sys.stdout)
    return 0


def fail(reason):
    sys.stderr.write(reason + "\n")
    return 1


def main():
    p = argparse.ArgumentParser()
    sub = p.add_subparsers(dest="cmd", required=True)
    o = sub.add_parser("order")
    o.add_argument("path")
    o.add_argument("--field", action="append", default=[])
    c = sub.add_parser("check")
    c.add_argument("path")
    a = p.parse_args()
    if a.cmd == "order":
        write_order(a.path, a.field)
        return 0
    return check(a.path)


if __name__ == "__main__":
    sys.exit(main())
