#!/usr/bin/python3
"""Judges a DICOM file with pydicom, independently of the code that wrote it.

Usage:
  dcmjudge.py attrs FILE KEYWORD=VALUE...   each attribute equals VALUE ("KEYWORD=" empty,
                                            "KEYWORD!" absent; nested: WaveformSequence[0].X)
  dcmjudge.py ecg FILE RECORD               waveform = the record's first 5000 samples a lead,
                                            interleaved (.ekg 5000, .raw 6000 per lead block)
  dcmjudge.py spiro FILE TESTFILE           waveform = the test file's curves, 32-bit, in the
                                            order FVC base k1 t1-3, k2 t1-3, post k1, k2; SVC
                                            t1-3; MVV
  dcmjudge.py jpeg FILE PICTURE             the one pixel fragment equals the JPEG's bytes
  dcmjudge.py bmp FILE PICTURE rgb|grey     pixels equal the BMP's (grey: luminance
                                            round(0.299 R + 0.587 G + 0.114 B))
  dcmjudge.py same FILE1 FILE2              the datasets are equal (meta header aside)
Several commands may be given at once, separated by "--" (one start of Python for all).
Prints what differs; exit 0 when everything matches, 1 otherwise, 2 on bad usage.
Standard library and Debian's python3-pydicom only.
"""
import os
import struct
import sys

import pydicom


CURRENT = []


def fail(msgs):
    for m in msgs[:20]:
        print(os.path.basename(CURRENT[0]) + ": " + m if CURRENT else m)
    if len(msgs) > 20:
        print("... %d more" % (len(msgs) - 20))
    return 1 if msgs else 0


def lookup(ds, path):
    cur = ds
    for part in path.split("."):
        idx = None
        if part.endswith("]"):
            part, idx = part[:-1].split("[")
        if part not in cur:
            return None
        cur = cur.data_element(part)
        if idx is not None:
            cur = cur.value[int(idx)]
    return cur


def cmd_attrs(path, checks):
    ds = pydicom.dcmread(path)
    errs = []
    for check in checks:
        if check.endswith("!") and "=" not in check:
            if lookup(ds, check[:-1]) is not None:
                errs.append("%s present" % check[:-1])
            continue
        key, want = check.split("=", 1)
        elem = lookup(ds, key)
        if elem is None:
            errs.append("%s absent, want %r" % (key, want))
            continue
        val = elem.value
        if isinstance(val, bytes):
            val = "hex:" + val.hex()
        got = "" if val is None else ("\\".join(str(v) for v in val)
                                      if isinstance(val, pydicom.multival.MultiValue) else str(val))
        if got != want:
            errs.append("%s = %r, want %r" % (key, got, want))
    return fail(errs)


def waveform_words(ds, size):
    seq = ds.WaveformSequence[0]
    data = seq.WaveformData
    fmt = {2: "<h", 4: "<i"}[size]
    return [v[0] for v in struct.iter_unpack(fmt, data)], seq


def cmd_ecg(path, record):
    ds = pydicom.dcmread(path)
    raw = open(record, "rb").read()
    per = 6000 if record.lower().endswith(".raw") else 5000
    block = per + 100
    leads = [[struct.unpack_from("<h", raw, 2 * (lead * block + k))[0] for k in range(5000)]
             for lead in range(12)]
    want = [leads[lead][k] for k in range(5000) for lead in range(12)]
    got, seq = waveform_words(ds, 2)
    errs = []
    for key, exp in (("NumberOfWaveformChannels", 12), ("NumberOfWaveformSamples", 5000),
                     ("WaveformBitsAllocated", 16), ("WaveformSampleInterpretation", "SS")):
        if seq.get(key) != exp:
            errs.append("%s = %r, want %r" % (key, seq.get(key), exp))
    if len(got) != len(want):
        errs.append("%d samples, want %d" % (len(got), len(want)))
    errs += ["sample %d lead %d = %d, want %d" % (i // 12, i % 12, g, w)
             for i, (g, w) in enumerate(zip(got, want)) if g != w]
    return fail(errs)


# Test file layout: (type, format) by length; curve areas by where they lie.
LENGTHS = {37000: (1, 0), 97000: (2, 0), 10600: (3, 0), 73399: (5, 0),
           38000: (1, 1), 98000: (2, 1), 11600: (3, 1), 74000: (5, 1)}


def spiro_channels(raw, ext):
    ttype, fmt = LENGTHS[len(raw)]
    start = 1000 if fmt == 0 else 2000

    def words(off, count):
        return [struct.unpack_from("<i", raw, off + 4 * k)[0] for k in range(count)]

    if ttype in (1, 5) and ext in ("fvc",):
        if ttype == 5:
            base, post = (37399, 1000) if fmt == 0 else (2000, 38000)
        else:
            base, post = start, None
        chans = []
        for area in (base, post):
            for k in range(6):  # kind 1 trials 1-3, kind 2 trials 1-3
                chans.append(words(area + 6000 * k, 1500) if area is not None else [0] * 1500)
        return chans
    if ttype == 2:
        return [words(start + 32000 * k, 8000) for k in range(3)]
    if ttype == 3:
        return [words(start, 2400)]
    raise SystemExit("unknown test file layout")


def cmd_spiro(path, test):
    ds = pydicom.dcmread(path)
    raw = open(test, "rb").read()
    chans = spiro_channels(raw, test.rsplit(".", 1)[-1].lower())
    n = len(chans[0])
    want = [chans[c][k] for k in range(n) for c in range(len(chans))]
    got, seq = waveform_words(ds, 4)
    errs = []
    for key, exp in (("NumberOfWaveformChannels", len(chans)), ("NumberOfWaveformSamples", n),
                     ("WaveformBitsAllocated", 32), ("WaveformSampleInterpretation", "SL")):
        if seq.get(key) != exp:
            errs.append("%s = %r, want %r" % (key, seq.get(key), exp))
    if len(got) != len(want):
        errs.append("%d samples, want %d" % (len(got), len(want)))
    errs += ["sample %d channel %d = %d, want %d" % (i // len(chans), i % len(chans), g, w)
             for i, (g, w) in enumerate(zip(got, want)) if g != w]
    return fail(errs)


def fragments(data):
    """The items of an encapsulated pixel sequence after its offset table."""
    items, pos = [], 0
    while pos + 8 <= len(data):
        group, elem, length = struct.unpack_from("<HHI", data, pos)
        pos += 8
        if (group, elem) == (0xFFFE, 0xE0DD):
            break
        if (group, elem) != (0xFFFE, 0xE000):
            raise SystemExit("not an item at %d" % (pos - 8))
        items.append(data[pos:pos + length])
        pos += length
    return items[1:]


def cmd_jpeg(path, picture):
    ds = pydicom.dcmread(path)
    errs = []
    if ds.file_meta.TransferSyntaxUID != "1.2.840.10008.1.2.4.50":
        errs.append("transfer syntax %s" % ds.file_meta.TransferSyntaxUID)
    frags = fragments(ds.PixelData)
    want = open(picture, "rb").read()
    if len(frags) != 1:
        errs.append("%d fragments, want 1" % len(frags))
    elif frags[0].rstrip(b"\0") != want.rstrip(b"\0") or len(frags[0]) not in (len(want), len(want) + 1):
        errs.append("fragment of %d bytes differs from the picture's %d" % (len(frags[0]), len(want)))
    return fail(errs)


def read_bmp(picture):
    b = open(picture, "rb").read()
    off, = struct.unpack_from("<I", b, 10)
    w, h, _, bits = struct.unpack_from("<iiHH", b, 18)
    top_down = h < 0
    h = abs(h)
    stride = (w * bits + 31) // 32 * 4
    rows = []
    for y in range(h):
        src = y if top_down else h - 1 - y
        row = b[off + src * stride: off + src * stride + w * (bits // 8)]
        rows.append([(row[x * (bits // 8) + 2], row[x * (bits // 8) + 1], row[x * (bits // 8)])
                     for x in range(w)])
    return w, h, rows


def cmd_bmp(path, picture, kind):
    ds = pydicom.dcmread(path)
    w, h, rows = read_bmp(picture)
    errs = []
    if (ds.Columns, ds.Rows) != (w, h):
        errs.append("size %dx%d, want %dx%d" % (ds.Columns, ds.Rows, w, h))
        return fail(errs)
    px = ds.PixelData
    if kind == "rgb":
        if ds.PhotometricInterpretation != "RGB" or ds.SamplesPerPixel != 3:
            errs.append("not RGB: %s" % ds.PhotometricInterpretation)
        want = bytes(c for row in rows for p in row for c in p)
    else:
        if ds.PhotometricInterpretation != "MONOCHROME2" or ds.SamplesPerPixel != 1:
            errs.append("not MONOCHROME2: %s" % ds.PhotometricInterpretation)
        want = bytes(int(0.299 * r + 0.587 * g + 0.114 * b_ + 0.5) for row in rows
                     for (r, g, b_) in row)
    got = px[:len(want)]
    if got != want:
        bad = sum(1 for a, c in zip(got, want) if a != c) + abs(len(got) - len(want))
        errs.append("%d of %d pixel bytes differ" % (bad, len(want)))
    return fail(errs)


def cmd_same(a, b):
    da, db = pydicom.dcmread(a), pydicom.dcmread(b)
    errs = []
    for elem in da.iterall():
        pass
    ka = [e.tag for e in da]
    kb = [e.tag for e in db]
    if ka != kb:
        errs.append("tags differ: %s" % sorted(set(ka) ^ set(kb)))
    for e in da:
        if e.tag in db and db[e.tag].value != e.value:
            errs.append("%s differs" % e.keyword)
    return fail(errs)


def main(argv):
    commands, cur = [], []
    for a in argv[1:]:
        if a == "--":
            commands.append(cur)
            cur = []
        else:
            cur.append(a)
    commands.append(cur)
    status = 0
    for c in commands:
        result = run(c)
        if result == 2:
            return 2
        status = max(status, result)
    return status


def run(args):
    if len(args) < 2:
        sys.stderr.write(__doc__)
        return 2
    cmd, path, rest = args[0], args[1], args[2:]
    CURRENT[:] = [path]
    if cmd == "attrs":
        return cmd_attrs(path, rest)
    if cmd == "ecg" and len(rest) == 1:
        return cmd_ecg(path, rest[0])
    if cmd == "spiro" and len(rest) == 1:
        return cmd_spiro(path, rest[0])
    if cmd == "jpeg" and len(rest) == 1:
        return cmd_jpeg(path, rest[0])
    if cmd == "bmp" and len(rest) == 2:
        return cmd_bmp(path, rest[0], rest[1])
    if cmd == "same" and len(rest) == 1:
        return cmd_same(path, rest[0])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
