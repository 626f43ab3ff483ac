#!/usr/bin/python3
"""Checks the rows of the records a devsim carts run sent (its --expect file) against what
the simulator sent, reading the database with its own client library or program.

  oxurows_check.py EXPECT (--sqlite FILE | --psql HOST DB USER) [--every N]

Every record answered 6 must have one study, series, instance and waveform row with its
patient ID, its file on disk, and samples equal to the simulator's (leads I, II, V1..V6 as
sent, III = II - I; every Nth record's samples are compared, all with N = 1). Keys and UIDs
must be distinct over the whole database. Prints what differs; exit 0 when all match.
Standard library only (sqlite3 module, psql program)."""
import json
import os
import sqlite3
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "devsim"))
import devsim  # noqa: E402

QUERY = ("SELECT s.patient_id, s.study_key, s.study_uid, e.series_key, e.series_uid, "
         "i.instance_key, i.instance_uid, i.file_folder, i.file_name, {hex} "
         "FROM study s JOIN series e ON e.study_key = s.study_key "
         "JOIN instance i ON i.series_key = e.series_key "
         "LEFT JOIN waveform w ON w.instance_key = i.instance_key")


def where(ids):
    return " WHERE s.patient_id IN (%s)" % ",".join("'%s'" % i for i in ids) if ids is not None else ""


def rows_sqlite(path, with_hex, ids=None):
    db = sqlite3.connect("file:%s?mode=ro" % path, uri=True)
    q = QUERY.format(hex="hex(w.wave_data)" if with_hex else "2 * length(w.wave_data)") + where(ids)
    return [tuple(str(v) for v in r) for r in db.execute(q)]


def rows_psql(host, name, user, with_hex, ids=None):
    q = QUERY.format(hex="encode(w.wave_data, 'hex')" if with_hex else "2 * length(w.wave_data)") + where(ids)
    out = subprocess.run(["psql", "-X", "-A", "-t", "-q", "-F", "|", "-h", host, "-U", user,
                          "-d", name, "-c", q], capture_output=True, text=True, check=True)
    return [tuple(line.split("|")) for line in out.stdout.splitlines() if line]


def main():
    args = sys.argv[1:]
    every = 1
    if "--every" in args:
        k = args.index("--every")
        every = int(args[k + 1])
        del args[k:k + 2]
    expect = json.load(open(args[0]))
    # Lengths of every waveform; the bytes only of the records whose samples are compared.
    sampled = [e["patient_id"] for n, e in enumerate(expect) if e["answered"] and n % every == 0]
    if args[1] == "--sqlite":
        rows = rows_sqlite(args[2], False)
        hexrows = rows_sqlite(args[2], True, sampled)
    else:
        rows = rows_psql(args[2], args[3], args[4], False)
        hexrows = rows_psql(args[2], args[3], args[4], True, sampled)
    hex_by_id = {r[0]: r[9] for r in hexrows}
    errors = []
    for column, name in ((1, "study key"), (2, "study UID"), (3, "series key"), (4, "series UID"),
                         (5, "instance key"), (6, "instance UID")):
        values = [r[column] for r in rows]
        if len(set(values)) != len(values):
            errors.append("%s not distinct" % name)
    by_id = {}
    for r in rows:
        by_id.setdefault(r[0], []).append(r)
    checked = 0
    for n, e in enumerate(expect):
        if not e["answered"]:
            continue
        found = by_id.get(e["patient_id"], [])
        if len(found) != 1:
            errors.append("%s: %d rows" % (e["patient_id"], len(found)))
            continue
        r = found[0]
        if not os.path.isfile(os.path.join(r[7], r[8])):
            errors.append("%s: no file %s/%s" % (e["patient_id"], r[7], r[8]))
        if r[9] != "240000":
            errors.append("%s: waveform of %s hex digits" % (e["patient_id"], r[9]))
            continue
        if n % every:
            continue
        hexdata = hex_by_id.get(e["patient_id"], "").lower()
        checked += 1
        data = bytes.fromhex(hexdata)
        for k in range(5000):
            ch = [devsim.sample(c, k, e["seed"]) for c in range(8)]
            want = {0: ch[0], 1: ch[1], 2: ch[1] - ch[0]}
            for c in range(2, 8):
                want[c + 4] = ch[c]
            for j, v in want.items():
                got = int.from_bytes(data[2 * (12 * k + j):2 * (12 * k + j) + 2], "little", signed=True)
                if got != v:
                    errors.append("%s: sample %d of lead %d is %d, sent %d" % (e["patient_id"], k, j, got, v))
                    break
            else:
                continue
            break
    for m in errors[:20]:
        print(m)
    print("records %d answered %d rows %d samples checked %d errors %d" % (
        len(expect), sum(1 for e in expect if e["answered"]), len(rows), checked, len(errors)))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
