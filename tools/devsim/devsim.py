#!/usr/bin/python3
"""Device simulator for the acquisition server (standard library only).

Plays the devices that talk to the server's TCP port: a legacy ECG cart (tagged
messages), a frame-mode ECG cart (0xFA/0xFD/0xFC frames ending in 0xEF), a spirometer
in legacy mode (tagged messages 0x70-0x97) and in frame mode (frames 0xB0-0xBC), a packet
device (0xF1 command and 0xF2 data packets), and hostile streams. Its encoders are
written from the device's side of the protocol.

    devsim.py --port 2003 legacy-ecg --id 123 --expect out.json
    devsim.py --port 2003 frame-ecg --option 3 --long-reply --raw
    devsim.py --port 2003 legacy-fvc --format 0 --expect fvc.json
    devsim.py --port 2003 frame-svc --option 3 --long-reply
    devsim.py --dump stream.bin packet
    devsim.py --port 2003 packet-files --send rec.EKG --as 123_20260102030405.EKG --send t.fvc
    devsim.py --port 0 order-device --orders 1         (prints LISTENING, then ORDER {json})
    devsim.py --list

Every reply from the server is printed as one line "REPLY <hex>" (4-byte replies and
the 188-byte long reply are cut as such; anything else is printed as received), and
"CLOSED" when the server closes the connection. Only loopback addresses are used.
"""

import argparse
import json
import math
import random
import select
import socket
import struct
import sys
import time

# ----------------------------------------------------------------------------------------
# Record content


def sample(channel, index, seed):
    """Sample of channel 0..7 (I, II, V1..V6) at frame index."""
    period = 240 + 17 * channel + seed
    value = 900 * math.sin(2 * math.pi * index / period + seed) + 40 * channel
    return int(round(value))


class EcgRecord:
    def __init__(self, args):
        self.patient_id = args.id
        self.name = args.name
        self.raw = args.raw
        self.blocks = args.blocks if args.blocks >= 0 else (1200 if args.raw else 1000)
        self.seed = args.seed
        self.pace = [int(x) for x in args.pace.split(",")] if args.pace else []
        self.statements = args.statement if args.statement else ["Sinus rhythm", "Normal ECG"]
        if args.no_statements:
            self.statements = []
        self.globals = [int(x) for x in args.globals.split(",")] if args.globals else [72, 160, 90, 380, 410, 45, 30, 40]
        if len(self.globals) != 8:
            raise SystemExit("--globals takes eight values")
        self.age, self.sex, self.height, self.weight = args.age, args.sex, args.height, args.weight
        self.measures = [[1000 * k + j for j in range(24)] for k in range(5)]
        self.date = args.date  # "YYYYMMDDhhmmss" or ""
        self.option = args.option
        self.long_reply = args.long_reply

    def frames(self):
        """Samples of the record: list of frames of 8 channel values."""
        return [[sample(c, i, self.seed) for c in range(8)] for i in range(self.blocks * 5)]

    def block_bytes(self, block):
        out = bytearray()
        for f in range(block * 5, block * 5 + 5):
            for c in range(8):
                out += struct.pack(">h", sample(c, f, self.seed))
        return bytes(out)

    def expectation(self):
        return {
            "patient_id": self.patient_id,
            "name": self.name,
            "raw": self.raw,
            "blocks": self.blocks,
            "pace": self.pace,
            "statements": self.statements,
            "globals": self.globals,
            "measures": self.measures,
            "date": self.date,
            "age": self.age,
            "sex": self.sex,
            "height": self.height,
            "weight": self.weight,
            "channels": [[sample(c, i, self.seed) for i in range(self.blocks * 5)] for c in range(8)],
        }


def fixed(text, size):
    data = text.encode("latin-1")[:size]
    return data + b"\0" * (size - len(data))


# ----------------------------------------------------------------------------------------
# Legacy cart: [tag][length][data] messages, lengths by the server's table.


def legacy_ecg(rec):
    out = bytearray()
    # Patient item: 58 bytes, sub-items behind their length bytes.
    body = bytes([16]) + fixed(rec.patient_id, 16) + bytes([16]) + fixed(rec.name, 16)
    body += bytes([3]) + fixed(rec.age, 3) + bytes([0]) + bytes([6]) + fixed(rec.sex, 6)
    body += bytes([4]) + fixed(rec.height, 4) + bytes([4]) + fixed(rec.weight, 4)
    assert len(body) == 56
    out += bytes([0x16, 0x3A]) + body
    if rec.date:
        # Year as four characters, month, day, hour, minute as 2-character texts.
        out += bytes([0x21, 12]) + rec.date[:12].encode() + b"\0\0"
    out += bytes([0x23, 34, 0]) + fixed("CLINIC", 16) + b"\0" + fixed("DR SIM", 16)
    out += bytes([0x22, 4, 1, 3, 1, 0])
    out += bytes([0x24, 1, 2])
    tag = 0x40 if rec.raw else 0x03
    for b in range(rec.blocks):
        out += bytes([tag, 0x50]) + rec.block_bytes(b)
    out += bytes([tag, 0])
    if rec.pace:
        pace = b"".join(struct.pack(">H", p) for p in rec.pace[:40])
        out += bytes([0x37, len(rec.pace[:40])]) + pace + b"\0" * (80 - len(pace))
    out += bytes([0x18, 0x10]) + b"".join(struct.pack(">h", g) for g in rec.globals)
    for text in rec.statements:
        out += bytes([0x19, 80]) + fixed(text, 80)
    out += bytes([0x19, 0])
    for k in range(5):
        values = b"".join(struct.pack(">H", v) for v in rec.measures[k])
        out += bytes([0x30 + k, len(values)]) + values + b"\0" * (80 - len(values))
    return bytes(out)


# ----------------------------------------------------------------------------------------
# Frame-mode cart: 0xFA option frame, 0xFD frames (length in bytes 2-3), 0xFC end.


def fd_frame(sub, payload):
    length = 4 + len(payload) + 1
    return bytes([0xFD, sub]) + struct.pack(">H", length) + payload + b"\xEF"


def frame_ecg(rec):
    out = bytearray(bytes([0xFA, 0x01, rec.option, 0xEF]))
    size = 196 if rec.option == 3 else 176
    h = bytearray(size)
    h[4:20] = fixed(rec.patient_id, 16)
    h[36:52] = fixed(rec.name, 16)
    h[68:72] = fixed(rec.age, 4)
    h[72:78] = fixed(rec.sex, 6)
    h[88:92] = fixed(rec.height, 4)
    h[92:96] = fixed(rec.weight, 4)
    date = rec.date or "20260101000000"
    h[96:110] = date[:14].encode()
    text_len = 28 if rec.option == 3 else 16
    h[110:110 + text_len] = fixed("CLINIC", text_len)
    second = 166 if rec.option == 3 else 142
    h[second:second + text_len] = fixed("DR SIM", text_len)
    h[174] = 1 if rec.long_reply else 0
    h[0:4] = bytes([0xFD, 0xA0]) + struct.pack(">H", size)
    h[size - 1] = 0xEF
    out += h
    st = bytearray([len(rec.statements)])
    for text in rec.statements:
        data = text.encode("latin-1")
        st += bytes([len(data)]) + data
    out += fd_frame(0xA1, bytes(st))
    m = bytearray(512)
    m[0:4] = bytes([0xFD, 0xA2, 0x02, 0x00])
    m[4:8] = bytes([1, 3, 1, 0])
    m[8:24] = b"".join(struct.pack(">h", g) for g in rec.globals)
    for k in range(5):
        at = 24 + 81 * k
        values = b"".join(struct.pack(">H", v) for v in rec.measures[k])
        m[at] = len(values)
        m[at + 1:at + 1 + len(values)] = values
    pace = b"".join(struct.pack(">H", p) for p in rec.pace[:40])
    m[429] = len(pace)
    m[430:430 + len(pace)] = pace
    m[511] = 0xEF
    out += m
    sub = 0xA4 if rec.raw else 0xA3
    for b0 in range(0, rec.blocks, 10):
        payload = b"".join(rec.block_bytes(b) if b < rec.blocks else b"\0" * 80
                           for b in range(b0, b0 + 10))
        out += fd_frame(sub, payload)
    out += bytes([0xFC, 0x05, 0x00, 0xEF])
    return bytes(out)


# ----------------------------------------------------------------------------------------
# Spirometer: one test (FVC, FVC before and after medication, SVC or MVV) sent as legacy
# tagged messages or as 0xFD frames 0xB0-0xBC. Numbers go big-endian, parameter values
# as texts of 6 characters, curves as 32-bit samples.

FVC_RUN = 4500  # samples of one curve kind, three trials of 1500
SVC_SAMPLES = 24000  # three trials of 8000
MVV_SAMPLES = 2400


def param_text(value):
    """A parameter as the spirometer prints it: at most 6 characters, no needless zeros."""
    text = ("%.2f" % value).rstrip("0").rstrip(".")
    return fixed(text, 6)


def be_float(value):
    return struct.pack(">f", value)


def be_int(value):
    return struct.pack(">i", value)


def f32(value):
    """The value as a 32-bit float holds it."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


class SpiroTest:
    """What one test holds; `expectation` is what a reader of the stored file finds."""

    def __init__(self, args, kind, frames):
        self.kind = kind  # "fvc", "fvc-post", "svc", "mvv"
        self.frames = frames
        self.post = kind == "fvc-post"
        if kind == "svc":
            self.type = 2
        elif kind == "mvv":
            self.type = 3
        elif self.post:
            self.type = 5
        else:
            self.type = 4 if frames else args.fvc_type
        self.option = args.option
        self.long_reply = args.long_reply
        self.seed = args.seed
        self.format = args.format
        self.formula = args.formula
        date = args.date or ""
        self.info = {
            0: args.id, 1: args.name, 2: "45", 3: "F", 4: "165", 5: "61",
            6: "C", 7: "N", 8: "0", 9: "Q",
            10: date[0:4], 11: date[4:6], 12: date[6:8], 13: date[8:10], 14: date[10:12],
            15: date[12:14],
            16: "CLINIC", 17: "DR SIM",
        }
        self.trials, self.best = 3, 2
        self.post_trials, self.post_best = 2, 1
        self.code, self.post_code = "NOR", "MIO"
        s = self.seed
        self.fvc = [[round(1.25 * (r + 1) + 0.37 * c + 0.01 * s, 2) for c in range(12)]
                    for r in range(14)]
        self.svc = [[round(0.75 * (r + 1) + 0.11 * c + 0.01 * s, 2) for c in range(4)]
                    for r in range(5)]
        self.mvv = [round(98.5 + s, 2), round(31.25, 2), round(2.5 + 0.01 * s, 2)]
        self.ecode = ["%d%d%d" % ((t + s) % 2, t % 2, 1 - t % 2) for t in range(8)]
        self.predict = [f32(2.0 + 0.125 * k + 0.01 * s) for k in range(13)]
        self.extra = [f32(1.5 + 0.01 * s), f32(-0.75)]
        # Sample counts of trials 1-3 of the three curve groups, base and post.
        self.counts = [[1500 - 100 * g - 7 * t - s for t in range(3)] for g in range(3)]
        self.post_counts = [[1400 - 50 * g - 11 * t - s for t in range(3)] for g in range(3)]
        self.svc_counts = [8000 - 500 * t - s for t in range(3)]
        if frames and kind in ("fvc", "fvc-post"):
            # Bytes 108-115 of frame 0xB1 carry two predicted values and also part of rows
            # 5 and 6 of column 0; this spirometer sends values that read alike both ways.
            self.fvc[5][0] = 12.0
            self.fvc[6][0] = 0.0

    def curve(self, area, n):
        base = {"base1": 1, "base2": 2, "post1": 3, "post2": 4, "svc": 5, "mvv": 6}[area]
        return [int(round(20000 * math.sin(2 * math.pi * i / (173 + 11 * base) + self.seed)))
                - 300 * base for i in range(n)]

    # -------------------------------------------------------------------- expectation

    def expectation(self):
        e = {
            "type": self.type, "trials": self.trials, "best": self.best,
            "info": {str(k): v for k, v in self.info.items()},
            "slots": {}, "curves": {}, "frames": self.frames,
        }
        if self.type == 3:
            e["trials"], e["best"] = 1, 1
        if self.type == 5:
            e["post_trials"], e["post_best"] = self.post_trials, self.post_best
        if self.frames:
            # Frame records are format 2 once rows 10-13 come; the formula goes in byte 6.
            e["format"] = 2
            if self.type in (4, 5):
                e["formula"] = self.formula
        else:
            e["format"] = 0 if self.format in ("none",) or int(self.format) > 2 else int(
                self.format)
        slots = e["slots"]
        if self.type in (1, 4, 5):
            e["analysis"] = self.code
            if self.type == 5:
                e["analysis_post"] = self.post_code
            cols = 12 if self.type == 5 else 6
            rows = 14 if self.frames else 10
            e["fvc"] = [[self.fvc[r][c] for c in range(cols)] for r in range(rows)]
            if self.frames:
                e["ecode"] = self.ecode if self.type == 5 else self.ecode[:4]
            groups = [1, 7, 13]
            post_groups = [4, 10, 16]
            for g in range(3):
                for t in range(3):
                    if self.type == 5:
                        slots[str(post_groups[g] + t)] = self.post_counts[g][t]
                        slots[str(groups[g] + t)] = self.counts[g][t]
                    else:
                        slots[str(groups[g] + t)] = self.counts[g][t]
            if self.frames:
                for k in range(10):
                    slots[str(22 + k)] = self.predict[k]
                    slots[str(35 + k)] = self.predict[k]
                slots["33"] = slots["34"] = 0.0
                slots["32"] = slots["45"] = float(self.formula)
                if self.type == 5:
                    slots["46"], slots["47"] = self.extra
                else:
                    slots["46"], slots["47"] = self.extra[1], 0.0
            else:
                for k in range(13):
                    slots[str(22 + k)] = self.predict[k]
                    if k < 11:
                        slots[str(35 + k)] = self.predict[k]
                slots["46"], slots["47"] = self.extra
            c = e["curves"]
            if self.type == 5:
                c["post"] = self.curve("post1", FVC_RUN) + self.curve("post2", FVC_RUN)
            c["base"] = self.curve("base1", FVC_RUN) + self.curve("base2", FVC_RUN)
        elif self.type == 2:
            e["svc"] = self.svc
            for t in range(3):
                slots[str(19 + t)] = self.svc_counts[t]
            e["curves"]["svc"] = self.curve("svc", SVC_SAMPLES)
        else:
            e["mvv"] = self.mvv
            e["curves"]["mvv"] = self.curve("mvv", MVV_SAMPLES)
        return e

    # -------------------------------------------------------------------- legacy messages

    def patient_message(self):
        i = self.info
        d = bytes([0x10]) + fixed(i[0], 16) + bytes([0x10]) + fixed(i[1], 16)
        d += bytes([4]) + fixed(i[2], 4) + bytes([6]) + fixed(i[3], 6)
        d += bytes([4]) + fixed(i[4], 4) + bytes([4]) + fixed(i[5], 4)
        d += bytes([1]) + i[6].encode() + bytes([1]) + i[7].encode()
        d += bytes([3]) + fixed(i[8], 3) + bytes([1]) + i[9].encode()
        assert len(d) == 66
        return bytes([0x71, 0x44]) + d

    def date_message(self):
        i = self.info
        d = fixed(i[10], 4) + b"".join(fixed(i[k], 2) for k in range(11, 16))
        return bytes([0x72, 0x10]) + d

    def site_message(self):
        return bytes([0x73, 0x24, 0x10]) + fixed(self.info[16], 16) + bytes([0x10]) + fixed(
            self.info[17], 16)

    @staticmethod
    def curve_messages(tag, samples):
        out = bytearray()
        for at in range(0, len(samples), 20):
            data = b"".join(be_int(v) for v in samples[at:at + 20])
            out += bytes([tag, 80]) + data + bytes(80 - len(data))
        return out

    def legacy(self):
        t = self.type
        if t == 5:
            trials = (self.trials << 4) | self.post_trials
            best = (self.best << 4) | self.post_best
        else:
            trials, best = self.trials, self.best
        if self.format == "none":
            out = bytearray([0x70, 5, t, trials, best])
        else:
            out = bytearray([0x70, 6, t, trials, best, int(self.format)])
        out += self.patient_message() + self.date_message() + self.site_message()
        if t in (1, 4, 5):
            if t == 5:
                out += bytes([0x78, 6]) + fixed(self.code, 3) + fixed(self.post_code, 3)
            else:
                out += bytes([0x74, 3]) + fixed(self.code, 3)
            for c in range(6):
                out += bytes([0x75, 60]) + b"".join(param_text(self.fvc[r][c]) for r in range(10))
            if t == 5:
                out += bytes([0x79, 0])  # a new run: columns 6-11 from the counter's start
                for c in range(6, 12):
                    out += bytes([0x79, 60]) + b"".join(
                        param_text(self.fvc[r][c]) for r in range(10))
            out += bytes([0x84, 52]) + b"".join(be_float(v) for v in self.predict)
            out += bytes([0x80, 8]) + be_float(self.extra[0]) + be_float(self.extra[1])
            # 0x81-0x83 are the post counts of a before/after test, 0x91-0x93 the base.
            first = self.post_counts if t == 5 else self.counts
            for g in range(3):
                out += bytes([0x81 + g, 12]) + b"".join(be_int(v) for v in first[g])
            if t == 5:
                for g in range(3):
                    out += bytes([0x91 + g, 12]) + b"".join(be_int(v) for v in self.counts[g])
            one, two = ("post1", "post2") if t == 5 else ("base1", "base2")
            out += bytes([0x86, 0]) + self.curve_messages(0x86, self.curve(one, FVC_RUN))
            out += bytes([0x86, 0]) + self.curve_messages(0x87, self.curve(two, FVC_RUN))
            if t == 5:
                out += bytes([0x87, 0])  # not the end of a before/after test
                out += self.curve_messages(0x96, self.curve("base1", FVC_RUN))
                out += bytes([0x96, 0]) + self.curve_messages(0x97, self.curve("base2", FVC_RUN))
                out += bytes([0x97, 0])
            else:
                out += bytes([0x87, 0])
        elif t == 2:
            for c in range(4):
                out += bytes([0x76, 30]) + b"".join(param_text(self.svc[r][c]) for r in range(5))
            out += bytes([0x85, 12]) + b"".join(be_int(v) for v in self.svc_counts)
            out += bytes([0x76, 0]) + self.curve_messages(0x88, self.curve("svc", SVC_SAMPLES))
            out += bytes([0x88, 0])
        else:
            out += bytes([0x77, 18]) + b"".join(param_text(v) for v in self.mvv)
            out += bytes([0x77, 0]) + self.curve_messages(0x89, self.curve("mvv", MVV_SAMPLES))
            out += bytes([0x89, 0])
        return bytes(out)

    # -------------------------------------------------------------------- frames

    @staticmethod
    def frame(sub, size, fields):
        """An 0xFD frame of size bytes: head, the fields at their offsets, 0xEF last."""
        f = bytearray(size)
        f[0:4] = bytes([0xFD, sub]) + struct.pack(">H", size)
        for at, data in fields:
            f[at:at + len(data)] = data
        f[size - 1] = 0xEF
        return bytes(f)

    @classmethod
    def curve_frames(cls, sub, samples, per_frame):
        out = bytearray()
        for at in range(0, len(samples), per_frame):
            data = b"".join(be_int(v) for v in samples[at:at + per_frame])
            # Head of 4 bytes, the data, a tail of 4 ending in 0xEF.
            out += cls.frame(sub, 4 + len(data) + 4, [(4, data)])
        return out

    def header_frame(self):
        i = self.info
        date = fixed(i[10], 4) + b"".join(fixed(i[k], 2) for k in range(11, 16))
        fields = [(4, fixed(i[0], 16)), (36, fixed(i[1], 16)), (68, fixed(i[2], 4)),
                  (72, fixed(i[3], 6)), (88, fixed(i[4], 4)), (92, fixed(i[5], 4)),
                  (96, i[6].encode()), (97, i[7].encode()), (98, fixed(i[8], 3)),
                  (101, i[9].encode()), (102, date)]
        if self.option == 3:
            fields += [(116, fixed(i[16], 28)), (172, fixed(i[17], 28))]
        else:
            fields += [(116, fixed(i[16], 16)), (148, fixed(i[17], 16))]
        # The long-reply flag lies in the doctor's field of option 3: behind its text.
        assert len(i[17]) < 8
        fields.append((180, bytes([1 if self.long_reply else 0])))
        return self.frame(0xB0, 204, fields)

    def frame_stream(self):
        t = self.type
        out = bytearray([0xFA, 0x02, self.option, 0xEF])
        out += self.header_frame()
        if t in (4, 5):
            post = t == 5
            fields = [(4, bytes([1 if post else 0, self.formula]))]
            if post:
                fields += [(6, bytes([(self.trials << 4) | self.post_trials,
                                      (self.best << 4) | self.post_best])),
                           (8, fixed(self.code, 3)), (12, fixed(self.post_code, 3)),
                           (16, be_float(self.extra[0])), (20, be_float(self.extra[1]))]
            else:
                fields += [(6, bytes([self.trials, self.best])), (12, fixed(self.code, 3)),
                           (20, be_float(self.extra[1]))]
            fields.append((24, b"".join(be_float(v) for v in self.predict[:10])))
            for c in range(6):
                for r in range(10):
                    fields.append((76 + 60 * c + 6 * r, param_text(self.fvc[r][c])))
            fields.append((108, be_float(0.0) + be_float(0.0)))
            counts = self.post_counts if post else self.counts
            for g, at in enumerate((436, 448, 460)):
                fields.append((at, b"".join(be_int(v) for v in counts[g])))
            out += self.frame(0xB1, 480, fields)
            if post:
                fields = []
                for c in range(6, 12):
                    for r in range(10):
                        fields.append((4 + 60 * (c - 6) + 6 * r, param_text(self.fvc[r][c])))
                for g, at in enumerate((364, 376, 388)):
                    fields.append((at, b"".join(be_int(v) for v in self.counts[g])))
                out += self.frame(0xB2, 404, fields)
            for sub, first in ((0xBB, 0), (0xBC, 6)) if post else ((0xBB, 0),):
                fields = []
                for c in range(6):
                    for r in range(10, 14):
                        fields.append((4 + 24 * c + 6 * (r - 10),
                                       param_text(self.fvc[r][first + c])))
                codes = self.ecode[4:8] if first else self.ecode[0:4]
                fields.append((148, "".join(codes).encode()))
                out += self.frame(sub, 164, fields)
            one, two = ("post1", "post2") if post else ("base1", "base2")
            out += self.curve_frames(0xB3, self.curve(one, FVC_RUN), 750)
            out += self.curve_frames(0xB4, self.curve(two, FVC_RUN), 750)
            if post:
                out += self.curve_frames(0xB5, self.curve("base1", FVC_RUN), 750)
                out += self.curve_frames(0xB6, self.curve("base2", FVC_RUN), 750)
        elif t == 2:
            fields = [(4, bytes([self.trials, self.best]))]
            for c in range(4):
                for r in range(5):
                    fields.append((6 + 30 * c + 6 * r, param_text(self.svc[r][c])))
            fields.append((126, b"".join(be_int(v) for v in self.svc_counts)))
            out += self.frame(0xB7, 144, fields)
            out += self.curve_frames(0xB8, self.curve("svc", SVC_SAMPLES), 1000)
        else:
            fields = [(4 + 6 * k, param_text(v)) for k, v in enumerate(self.mvv)]
            out += self.frame(0xB9, 28, fields)
            out += self.curve_frames(0xBA, self.curve("mvv", MVV_SAMPLES), 600)
        out += bytes([0xFC, 0x05, 0x00, 0xEF])
        return bytes(out)

    def stream(self):
        return self.frame_stream() if self.frames else self.legacy()


SPIRO_SCRIPTS = {
    "legacy-fvc": ("fvc", False), "legacy-fvc-post": ("fvc-post", False),
    "legacy-svc": ("svc", False), "legacy-mvv": ("mvv", False),
    "frame-fvc": ("fvc", True), "frame-fvc-post": ("fvc-post", True),
    "frame-svc": ("svc", True), "frame-mvv": ("mvv", True),
}


# ----------------------------------------------------------------------------------------
# Packet device: command packets (0xF1) and data packets (0xF2).


def command(cmd, type_code=0, value=b"", big_endian=False, checksum=False):
    if type_code == 9:
        type_byte = 0x80 | len(value)
    else:
        type_byte = type_code | (0x40 if big_endian else 0)
    head = bytes([0xF1, cmd >> 8, cmd & 0xFF, type_byte]) + value
    check = 0
    if checksum:
        for b in head:
            check ^= b
    return head + bytes([check])


def data_packet(order, data):
    return bytes([0xF2]) + struct.pack(">IH", order, len(data)) + data


def packet_device(args):
    name = args.file_name.encode("utf-8")
    content = bytes((i * 7) & 0xFF for i in range(args.file_size))
    start = bytearray(20)
    start[4] = 1 if args.checksum else 0
    out = bytearray(command(0xFF00, 9, bytes(start)))
    file_value = struct.pack(">IBI", len(content), 0, 0) + name[:117]
    file_value += b"\0" * (127 - len(file_value))
    out += command(0xFF01, 9, file_value)
    order = 0
    for at in range(0, len(content), 1000):
        out += data_packet(order, content[at:at + 1000])
        order += 1
    out += command(0xFF02, 2, b"\0")
    return bytes(out)


def packet_files(args):
    """Files from disk (--send PATH [--as NAME], repeatable) as a packet device sends them,
    with the abuse that --abuse names. Returns the stream and what each file should be."""
    start = bytearray(20)
    start[4] = 1 if args.checksum else 0
    out = bytearray()
    if not args.no_start:
        out += command(0xFF00, 9, bytes(start), checksum=args.checksum)
    files = []
    for path, name in args.send:
        with open(path, "rb") as f:
            files.append((name, f.read()))
    abuse = args.abuse or ""

    def file_command(name, size):
        raw = name.encode("utf-8")[:117]
        value = struct.pack(">IBI", size, 0, 0) + raw
        value += b"\0" * (127 - len(value))
        return command(0xFF01, 9, value, checksum=args.checksum)

    def finish():
        if args.big_endian:  # a 16-bit value flagged big-endian
            return command(0xFF02, 4, b"\0\1", big_endian=True, checksum=args.checksum)
        return command(0xFF02, 2, b"\0", checksum=args.checksum)

    expected = []
    for i, (name, content) in enumerate(files):
        last = i == len(files) - 1
        if abuse == "data-before-file":
            out += data_packet(0, b"stray bytes before any FILE")
        if abuse == "unknown-command":
            out += command(0x1234, 4, b"\x12\x34", big_endian=True, checksum=args.checksum)
        out += file_command(name, len(content))
        chunks = [content[at:at + args.packet_size]
                  for at in range(0, len(content), args.packet_size)] or [b""]
        if abuse == "second-file" and last:
            # Half of the file, then FILE again for another name: the first is abandoned.
            out += data_packet(0, chunks[0][:len(chunks[0]) // 2])
            name = "second_" + name
            out += file_command(name, len(content))
        if abuse == "close-mid-file" and last:
            out += data_packet(0, chunks[0][:len(chunks[0]) // 2])
            expected.append({"name": name, "size": len(content), "stored": False})
            break
        for order, chunk in enumerate(chunks):
            out += data_packet(order, chunk)
        if abuse == "no-finish" and last:
            expected.append({"name": name, "size": len(content), "stored": False})
            break
        out += finish()
        expected.append({"name": name, "size": len(content), "stored": True})
    return bytes(out), {"files": expected}


class SendAction(argparse.Action):
    """--send PATH appends [PATH, its file name]; --as NAME renames the last one."""

    def __call__(self, parser, namespace, value, option_string=None):
        items = getattr(namespace, "send", None) or []
        if option_string == "--send":
            items.append([value, value.replace("\\", "/").rsplit("/", 1)[-1]])
        elif not items:
            parser.error("--as needs a --send before it")
        else:
            items[-1][1] = value
        namespace.send = items


# ----------------------------------------------------------------------------------------
# Order device: listens on 127.0.0.1 for patient orders (3-byte prefix and a 132-byte
# record) and prints each as one JSON line.


def decode_order(data):
    rec = data[3:135]

    def text(at, size):
        raw = rec[at:at + size]
        raw = raw.split(b"\0", 1)[0]
        return raw

    def le(at, size):
        return int.from_bytes(rec[at:at + size], "little")

    out = {
        "length": len(data),
        "prefix": data[:3].hex(),
        "id": text(0, 15).decode("latin-1"),
        "id_hex": text(0, 15).hex(),
        "id_terminated": 0 in rec[0:15],
        "name": text(15, 17).decode("latin-1"),
        "name_hex": text(15, 17).hex(),
        "name_terminated": rec[31] == 0,
        "age": rec[32], "age_unit": rec[33], "sex": rec[34], "byte35": rec[35],
        "height": le(36, 2), "weight": le(38, 2),
        "smoker": rec[40], "amount": rec[41], "smoke_years": rec[42],
        "department": text(43, 65).decode("latin-1"),
        "department_terminated": rec[107] == 0,
        "room": le(108, 4), "ethnic": rec[112], "exams": rec[113],
        "time": text(114, 15).decode("latin-1"),
        "tail": rec[129:132].hex(),
    }
    return out


def order_device(args):
    if args.host not in ("127.0.0.1", "localhost"):
        raise SystemExit("devsim talks to loopback only")
    srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", args.port))
    fillers = []
    if args.full_queue:
        # Never accepts, and keeps its accept queue full itself: a further connect gets no
        # answer to its SYN and hangs until the client's own time-out.
        srv.listen(0)
        for _ in range(4):
            c = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            c.setblocking(False)
            c.connect_ex(("127.0.0.1", srv.getsockname()[1]))
            fillers.append(c)
        time.sleep(0.2)
    else:
        srv.listen(8)
    print("LISTENING %d" % srv.getsockname()[1], flush=True)
    if args.full_queue:
        time.sleep(args.timeout)
        return 0
    srv.settimeout(args.timeout)
    served = 0
    while served < args.orders:
        try:
            conn, _ = srv.accept()
        except socket.timeout:
            print("TIMEOUT", flush=True)
            return 1
        with conn:
            if args.close_at_once:
                # A reset, not a graceful close: the sender sees the refusal.
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                print("CLOSED AT ONCE", flush=True)
                served += 1
                continue
            conn.settimeout(args.timeout)
            data = bytearray()
            try:
                while True:
                    chunk = conn.recv(4096)
                    if not chunk:
                        break
                    data += chunk
            except socket.timeout:
                pass
        print("ORDER " + json.dumps(decode_order(bytes(data))), flush=True)
        served += 1
    return 0


# ----------------------------------------------------------------------------------------
# Hostile streams


def hostile(kind, seed):
    rng = random.Random(seed)
    if kind == "bad-end":  # last byte of a frame not 0xEF
        return bytes([0xFA, 1, 1, 0xEF, 0xFC, 0x05, 0x00, 0x11])
    if kind == "bad-first":  # a frame ending in 0xEF that does not start with a frame byte
        return bytes([0xFA, 1, 1, 0xEF, 0x22, 4, 1, 2, 3, 0xEF])
    if kind == "huge-frame":  # a frame longer than the server's receive buffer
        return bytes([0xFD, 0xA3, 0xFF, 0xF0]) + bytes(9000)
    if kind == "zero-frame":
        return bytes([0xFA, 1, 1, 0xEF, 0xFD, 0xA3, 0x00, 0x00])
    if kind == "overflow":  # every count and length at its most
        out = bytearray([0x16, 0x3A]) + bytes([0xFF] * 56)
        out += bytes([0x24, 1, 5])
        for i in range(1300):
            out += bytes([0x03, 0x50]) + bytes([i & 0xFF] * 80)
        out += bytes([0x37, 0xFF]) + bytes([0xAB] * 80)
        out += bytes([0x18, 0x10]) + bytes(16)
        for i in range(25):
            out += bytes([0x19, 0xFF]) + bytes([0x41 + i % 26] * 255)
        out += bytes([0x19, 0]) * 40
        for k in range(5):
            out += bytes([0x30 + k, 0xFF]) + bytes([k] * 80)
        return bytes(out)
    if kind == "frame-overflow":  # a valid header, then every count past its room
        out = bytearray([0xFA, 1, 3, 0xEF])
        out += fd_frame(0xA0, bytes(3))  # too short for its option: ignored
        h = bytearray(196)
        h[0:4] = bytes([0xFD, 0xA0, 0x00, 196])
        h[4:20] = fixed("OVERFLOW", 16)
        h[96:110] = b"20260102030405"
        h[195] = 0xEF
        out += h
        out += fd_frame(0xA1, bytes([250]) + bytes([255]) + b"x" * 300)
        m = bytearray([0xFF] * 512)
        m[0:4] = bytes([0xFD, 0xA2, 0x02, 0x00])
        m[511] = 0xEF
        out += m
        for _ in range(130):
            out += fd_frame(0xA3, bytes([0x11] * 800))
        out += fd_frame(0xA3, bytes(5))
        out += bytes([0xFC, 0x05, 0x00, 0xEF])
        return bytes(out)
    if kind == "split-file":  # packets whose FILE command is cut before its check byte
        name = b"x" * 200
        return command(0xFF01, 9, (struct.pack(">IBI", 5, 0, 0) + name)[:127])
    if kind == "random":
        tags = [0x16, 0x03, 0x40, 0x19, 0x30, 0x34, 0x37, 0xFA, 0xFC, 0xFD, 0xEF, 0x70, 0x24,
                0x35, 0xF1, 0xF2, 0x00, 0xFF]
        out = bytearray(rng.getrandbits(8) for _ in range(20000))
        i = 0
        while i < len(out):
            out[i] = rng.choice(tags)
            i += 1 + rng.randrange(40)
        return bytes(out)
    raise SystemExit("unknown hostile stream: " + kind)


SCRIPTS = ["legacy-ecg", "frame-ecg"] + list(SPIRO_SCRIPTS) + ["packet", "idle"] + [
    "hostile-" + k for k in ("bad-end", "bad-first", "huge-frame", "zero-frame", "overflow",
                             "frame-overflow", "split-file", "random")]
SCRIPTS += ["packet-files", "order-device"]


def build(args):
    if args.script == "legacy-ecg":
        return legacy_ecg(EcgRecord(args)), EcgRecord(args).expectation()
    if args.script == "frame-ecg":
        return frame_ecg(EcgRecord(args)), EcgRecord(args).expectation()
    if args.script in SPIRO_SCRIPTS:
        kind, frames = SPIRO_SCRIPTS[args.script]
        test = SpiroTest(args, kind, frames)
        return test.stream(), test.expectation()
    if args.script == "packet":
        return packet_device(args), {"file_name": args.file_name, "file_size": args.file_size}
    if args.script == "idle":
        return b"", {}
    if args.script == "packet-files":
        return packet_files(args)
    if args.script.startswith("hostile-"):
        return hostile(args.script[len("hostile-"):], args.seed), {}
    raise SystemExit("unknown script: " + args.script)


# ----------------------------------------------------------------------------------------
# Connection


def print_replies(data):
    """Prints the replies that arrived, cut into 4-byte and 188-byte replies."""
    i = 0
    while i < len(data):
        if data[i] == 0xFC and i + 4 <= len(data):
            n = 4
        elif data[i] == 0xFD and i + 188 <= len(data) and data[i + 1] == 0xC2:
            n = 188
        elif data[i] == 0xF1 and i + 4 <= len(data):
            n = min(len(data) - i, 5 + (data[i + 3] & 0x7F if data[i + 3] & 0x80 else
                                        {0: 0, 1: 1, 2: 1, 3: 2, 4: 2, 5: 4, 6: 4, 7: 4,
                                         8: 8}.get(data[i + 3] & 0x3F, 0)))
        else:
            n = len(data) - i
        print("REPLY " + data[i:i + n].hex(), flush=True)
        i += n


def run(args, stream, finishes=0):
    if args.host not in ("127.0.0.1", "localhost", "::1"):
        raise SystemExit("devsim talks to loopback only")
    sock = socket.create_connection((args.host, args.port), timeout=args.timeout)
    received = bytearray()
    closed = False
    try:
        for at in range(0, len(stream), args.chunk):
            try:
                sock.sendall(stream[at:at + args.chunk])
            except (BrokenPipeError, ConnectionResetError):
                closed = True
                break
            # Take answers as they come, as a device does: a server that refuses the
            # stream answers and closes while the rest is still being sent.
            while select.select([sock], [], [], 0)[0]:
                try:
                    chunk = sock.recv(4096)
                except ConnectionResetError:
                    closed = True
                    break
                if not chunk:
                    closed = True
                    break
                received += chunk
            if closed:
                break
            if args.delay:
                time.sleep(args.delay)
        # Read the answers until the expected ones came, the server closed, or the
        # quiet time passed. A device that ended a record with 0xFC 0x05 waits for its
        # answer however long the server takes to store the record.
        awaits_answer = stream.endswith(bytes([0xFC, 0x05, 0x00, 0xEF]))

        def answered():
            if finishes:
                return (received.count(bytes([0xFC, 0x06, 0x00, 0xEF])) +
                        received.count(bytes([0xFC, 0x07, 0x00, 0xEF]))) >= finishes
            return not awaits_answer or len(received) >= 4

        deadline = time.monotonic() + args.timeout
        sock.settimeout(0.05)
        quiet_until = time.monotonic() + args.quiet
        while not closed and time.monotonic() < deadline:
            try:
                chunk = sock.recv(4096)
            except socket.timeout:
                if not args.wait_close and answered() and time.monotonic() > quiet_until:
                    break
                continue
            except ConnectionResetError:
                closed = True
                break
            if not chunk:
                closed = True
                break
            received += chunk
            quiet_until = time.monotonic() + args.quiet
    finally:
        sock.close()
    print_replies(bytes(received))
    if closed:
        print("CLOSED", flush=True)


# ----------------------------------------------------------------------------------------
# Load mode: many frame-mode carts at once, each sending its records one after another.


def load_run(args):
    """K carts (--load K) send --count records each, one connection per record, with
    distinct patient IDs and record times; prints one JSON line: records stored and
    refused, records per second, and the time from the last byte sent to the reply."""
    import threading
    if args.script != "frame-ecg":
        raise SystemExit("load mode plays frame-ecg carts")
    if args.host not in ("127.0.0.1", "localhost", "::1"):
        raise SystemExit("devsim talks to loopback only")
    template = frame_ecg(EcgRecord(args))
    base = time.mktime(time.strptime(args.date or "20260304050607", "%Y%m%d%H%M%S"))
    latencies, failed = [], []
    lock = threading.Lock()
    barrier = threading.Barrier(args.load + 1)

    def cart(i):
        barrier.wait()
        for j in range(args.count):
            n = i * args.count + j
            stream = bytearray(template)
            patient = ("%s%03d%05d" % (args.id[:8], i, j))[:16]
            stream[8:24] = fixed(patient, 16)  # header frame bytes 4-19
            stream[100:114] = time.strftime("%Y%m%d%H%M%S", time.localtime(base + n)).encode()
            elapsed = None
            try:
                with socket.create_connection((args.host, args.port), timeout=args.timeout) as sock:
                    sock.sendall(stream)
                    sent = time.perf_counter()
                    reply = b""
                    while len(reply) < 4:
                        chunk = sock.recv(64)
                        if not chunk:
                            break
                        reply += chunk
                    if reply[:4] == bytes([0xFC, 0x06, 0x00, 0xEF]):
                        elapsed = time.perf_counter() - sent
            except OSError:
                pass
            with lock:
                if elapsed is None:
                    failed.append(patient)
                else:
                    latencies.append(elapsed)

    threads = [threading.Thread(target=cart, args=(i,)) for i in range(args.load)]
    for t in threads:
        t.start()
    barrier.wait()
    start = time.perf_counter()
    for t in threads:
        t.join()
    seconds = time.perf_counter() - start
    latencies.sort()

    def pct(q):
        if not latencies:
            return None
        return round(1000 * latencies[min(len(latencies) - 1, int(q * len(latencies)))], 2)
    print(json.dumps({"carts": args.load, "records": args.load * args.count,
                      "stored": len(latencies), "failed": len(failed),
                      "seconds": round(seconds, 3),
                      "records_per_second": round(len(latencies) / seconds, 1) if seconds else 0,
                      "reply_ms_p50": pct(0.5), "reply_ms_p99": pct(0.99),
                      "reply_ms_max": pct(1.0)}), flush=True)
    return 0 if not failed else 1


# ----------------------------------------------------------------------------------------
# Carts mode: K frame-mode carts at once, each sending N records one after another (one
# connection per record), each record with its own patient ID, time and samples. With
# --legacy they are legacy carts: each sends its tagged record and closes, waiting for no
# answer ("answered" then says the whole record went out).


def carts_run(args):
    """--carts K --records N [--legacy]: prints one JSON line of totals; --expect gets one
    entry per record (patient ID, seed, date, whether it was answered 6, the reply's first
    four bytes as hex, reply time in ms)."""
    import threading
    if args.host not in ("127.0.0.1", "localhost", "::1"):
        raise SystemExit("devsim talks to loopback only")
    base = time.mktime(time.strptime("20260304050607", "%Y%m%d%H%M%S"))
    entries, lock = [], threading.Lock()
    barrier = threading.Barrier(args.carts + 1)
    # Legacy carts share one stream (a burst of them starts at once); each of them still
    # sends its own patient ID and time.
    shared = None
    if args.legacy:
        a = argparse.Namespace(**vars(args))
        a.date = "20260304050607"
        shared = legacy_ecg(EcgRecord(a))

    def cart(i):
        # One stream per cart (its own samples); each record gets its ID and time.
        a = argparse.Namespace(**vars(args))
        a.seed = args.seed if args.legacy else 1 + i
        a.date = "20260304050607"
        template = shared if args.legacy else frame_ecg(EcgRecord(a))
        barrier.wait()
        for j in range(args.records):
            a.id = "%s%03d%04d" % (args.id[:6], i, j)
            a.date = time.strftime("%Y%m%d%H%M%S", time.localtime(base + i * args.records + j))
            stream = bytearray(template)
            if args.legacy:
                stream[3:19] = fixed(a.id, 16)  # patient item, after its length byte
                stream[60:72] = a.date[:12].encode()  # date item 0x21 (to the minute)
            else:
                stream[8:24] = fixed(a.id, 16)  # header frame bytes 4-19
                stream[100:114] = a.date.encode()  # header frame bytes 96-109
            entry = {"patient_id": a.id, "seed": a.seed, "date": a.date, "answered": False,
                     "reply": "", "reply_ms": None}
            try:
                with socket.create_connection((args.host, args.port), timeout=args.timeout) as sock:
                    sock.sendall(stream)
                    sent = time.perf_counter()
                    reply = b""
                    entry["answered"] = args.legacy  # a legacy cart waits for no answer
                    while len(reply) < 4 and not args.legacy:
                        chunk = sock.recv(64)
                        if not chunk:
                            break
                        reply += chunk
                    entry["reply"] = reply[:4].hex()
                    if reply[:4] == bytes([0xFC, 0x06, 0x00, 0xEF]):
                        entry["answered"] = True
                        entry["reply_ms"] = round(1000 * (time.perf_counter() - sent), 2)
            except OSError:
                pass
            with lock:
                entries.append(entry)

    threads = [threading.Thread(target=cart, args=(i,)) for i in range(args.carts)]
    for t in threads:
        t.start()
    barrier.wait()
    start = time.perf_counter()
    for t in threads:
        t.join()
    seconds = time.perf_counter() - start
    if args.expect:
        with open(args.expect, "w") as f:
            json.dump(entries, f)
    answered = sum(1 for e in entries if e["answered"])
    print(json.dumps({"carts": args.carts, "records": len(entries), "answered": answered,
                      "seconds": round(seconds, 3),
                      "records_per_second": round(answered / seconds, 1) if seconds else 0}),
          flush=True)
    return 0 if answered == len(entries) else 1


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ROLES:
        return ROLES[sys.argv[1]](sys.argv[2:])
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("script", nargs="?", choices=SCRIPTS)
    p.add_argument("--list", action="store_true", help="list the scripts")
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, default=2003)
    p.add_argument("--dump", help="write the stream to this file instead of connecting")
    p.add_argument("--expect", help="write what the record holds as JSON to this file")
    p.add_argument("--chunk", type=int, default=8192, help="bytes per send")
    p.add_argument("--delay", type=float, default=0.0, help="seconds between sends")
    p.add_argument("--timeout", type=float, default=10.0)
    p.add_argument("--quiet", type=float, default=1.0,
                   help="stop reading after this many seconds without an answer")
    p.add_argument("--wait-close", action="store_true", help="read until the server closes")
    p.add_argument("--id", default="SIM001")
    p.add_argument("--name", default="SIM PATIENT")
    p.add_argument("--raw", action="store_true", help="6000-sample record")
    p.add_argument("--blocks", type=int, default=-1)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--pace", default="", help="pacemaker positions, comma separated")
    p.add_argument("--statement", action="append")
    p.add_argument("--no-statements", action="store_true", help="ECG: a record without statements")
    p.add_argument("--age", default="052", help="ECG: patient age text")
    p.add_argument("--sex", default="M", help="ECG: patient sex text")
    p.add_argument("--height", default="172", help="ECG: height text (cm)")
    p.add_argument("--weight", default="68", help="ECG: weight text; \"70L\" is 70 pounds")
    p.add_argument("--globals", default="",
                   help="ECG: the eight global values (HR, PR, QRS, QT, QTc, P, QRS, T axes), comma separated")
    p.add_argument("--date", default="20260304050607")
    p.add_argument("--no-date", dest="date", action="store_const", const="")
    p.add_argument("--option", type=int, default=1, choices=[1, 2, 3])
    p.add_argument("--long-reply", action="store_true")
    p.add_argument("--format", default="2",
                   help="spirometer, legacy: format byte of the 0x70 header (0-255), or 'none'"
                        " for a header without one")
    p.add_argument("--fvc-type", type=int, default=1, choices=[1, 4],
                   help="spirometer, legacy: test type of a plain FVC test")
    p.add_argument("--formula", type=int, default=3, help="spirometer, frames: formula index")
    p.add_argument("--file-name", default="777_20160504101500.mwf")
    p.add_argument("--file-size", type=int, default=2500)
    p.add_argument("--checksum", action="store_true")
    p.add_argument("--load", type=int, default=0,
                   help="load mode: this many frame-mode carts at once (script frame-ecg)")
    p.add_argument("--count", type=int, default=10, help="load mode: records per cart")
    p.add_argument("--send", action=SendAction, default=[], metavar="PATH",
                   help="packet-files: a file from disk (repeatable)")
    p.add_argument("--as", action=SendAction, dest="send", metavar="NAME",
                   help="packet-files: the name the last --send file goes by")
    p.add_argument("--no-start", action="store_true", help="packet-files: no START first")
    p.add_argument("--big-endian", action="store_true",
                   help="packet-files: FINISH with a 16-bit value flagged big-endian")
    p.add_argument("--packet-size", type=int, default=1000, help="packet-files: data per packet")
    p.add_argument("--abuse", choices=["data-before-file", "no-finish", "second-file",
                                       "close-mid-file", "unknown-command"])
    p.add_argument("--orders", type=int, default=1, help="order-device: orders before it ends")
    p.add_argument("--close-at-once", action="store_true",
                   help="order-device: accept and close at once (reset)")
    p.add_argument("--full-queue", action="store_true",
                   help="order-device: never accept and keep the accept queue full")
    p.add_argument("--carts", type=int, default=0,
                   help="carts mode: this many frame-mode carts at once")
    p.add_argument("--records", type=int, default=1, help="carts mode: records per cart")
    p.add_argument("--legacy", action="store_true",
                   help="carts mode: legacy carts (tagged records, no answer awaited)")
    args = p.parse_args()
    if args.list:
        print("\n".join(SCRIPTS))
        return 0
    if args.carts:
        return carts_run(args)
    if not args.script:
        p.error("a script is needed")
    if args.script == "order-device":
        return order_device(args)
    if args.load > 0:
        return load_run(args)
    stream, expectation = build(args)
    if args.expect:
        with open(args.expect, "w") as f:
            json.dump(expectation, f)
    if args.dump:
        with open(args.dump, "wb") as f:
            f.write(stream)
        return 0
    # A packet device waits for the answer to each FINISH however long the server takes.
    finishes = (sum(1 for f in expectation["files"] if f["stored"])
                if args.script == "packet-files" else 0)
    run(args, stream, finishes)
    return 0


# ----------------------------------------------------------------------------------------
# ECG cart on the network, as the ECG control meets it: it listens for the control's TCP
# link (3-byte commands), answers "start recording" (1 0) with the tagged record stream and
# "start monitoring" (0 0) with UDP datagrams to the control's monitor port; a finder
# device answers and sends 32-byte discovery datagrams. Loopback only.
#
#   devsim.py cart --port 0 --items 1000 [--tag 0x40] [--script record|stall|close|silence|
#             bad-lengths|hostile] [--chunk N --delay S] [--pace 1200,2400]
#             [--monitor-port 2001 --datagrams 300 --rate 100 --flags 0:0,21:a0 --bad-at 50]
#   devsim.py finder-device --port 3000 --id CART7 --text "Resting ECG" [--ip 10.1.2.3]
#             [--ask 3003]
#
# The cart prints "LISTEN <port>", "ACCEPT", one "CMD <kind> <action>" line per command,
# "SENT <bytes>", "DATAGRAMS <n>" and "CLOSED"; the finder device prints "LISTEN <port>",
# "RECV <hex>" per datagram received and "SENT <hex>" per datagram sent.

CART_LEADS = (0, 1, 6, 7, 8, 9, 10, 11)  # I, II, V1..V6 of the 12-lead order


def cart_samples(args):
    """The eight sent leads of an ecgsynth record (5000 samples each) and its truth."""
    import os
    import subprocess
    import tempfile
    here = os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "cart.ekg")
        cmd = [sys.executable, os.path.join(here, "..", "ecgsynth", "ecgsynth.py"), out,
               "--rate", str(args.rate_bpm), "--seed", str(args.seed)]
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        with open(out, "rb") as f:
            data = f.read()
        with open(out + ".json") as f:
            truth = json.load(f)
    n = 5000
    leads = []
    for lead in CART_LEADS:
        block = data[lead * (2 * n + 200):lead * (2 * n + 200) + 2 * n]
        leads.append(struct.unpack("<%dh" % n, block))
    return leads, truth


def cart_item(tag, leads, item):
    out = bytearray([tag, 80])
    for s in range(5):
        pos = (item * 5 + s) % 5000
        for lead in leads:
            out += struct.pack(">h", lead[pos])
    return bytes(out)


def cart_patient(args, length=0x3A):
    item = bytearray(58)
    item[0], item[1] = 0x16, length
    fields = [(2, args.id, 16), (19, args.name, 16), (36, args.age.ljust(3)[:3] + args.age_unit, 4),
              (41, args.sex, 6), (48, args.height, 4), (53, args.weight, 4)]
    for at, text, size in fields:
        raw = text.encode("latin-1")[:size]
        item[at] = size
        item[at + 1:at + 1 + len(raw)] = raw
    return bytes(item)


def cart_stream(args, leads):
    """The record stream of the script; the end item is left out by stall and close."""
    tag = int(args.tag, 0)
    out = bytearray()
    bad = args.script == "bad-lengths"
    out += cart_patient(args, 0 if bad else 0x3A)
    out += bytes([0x22, 4] + [int(v, 0) & 0xFF for v in args.filter.split(",")])
    out += bytes([0x24, 1, args.mode])
    text = args.device_text.encode("utf-8")
    out += bytes([0x35, len(text)]) + text
    for st in args.statement or []:
        out += bytes([0x19, 80]) + st.encode("latin-1")[:80].ljust(80, b"\0")
    if args.pace:
        marks = [int(v) for v in args.pace.split(",")]
        pace = bytearray([0x37, 200 if bad else len(marks)])
        for m in marks[:40]:
            pace += struct.pack(">H", m)
        out += bytes(pace.ljust(82, b"\0"))
    if bad:
        # Lengths that disagree with the fixed sizes, and listed tags of other lengths.
        out += bytes([0x16, 3]) + cart_patient(args)[2:]
        out += bytes([0x19, 5, 65, 66, 67, 68, 69])
        out += bytes([0x22, 2, 9, 9])
    if args.script == "hostile":
        rnd = random.Random(args.seed)
        for _ in range(200):
            t = rnd.choice([0x03, 0x40, 0x16, 0x37, 0x19, 0x22, 0x24, 0x35, 0x18, 0x55, 0xFF])
            ln = rnd.randrange(1, 256)
            if t in (0x03, 0x40) and ln in (0, 80):
                ln = 81
            size = 58 if t == 0x16 else 82 if t == 0x37 else ln + 2
            out += bytes([t, ln]) + bytes(rnd.randrange(256) for _ in range(size - 2))
    for item in range(args.items):
        out += cart_item(tag, leads, item)
    if args.script == "record" or bad or args.script == "hostile":
        out += bytes([tag, 0])
    return bytes(out)


def cart_datagrams(args, leads, sock, stop):
    flags = [tuple(int(x, 16) for x in f.split(":")) for f in args.flags.split(",")] \
        if args.flags else []
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sent = 0
    period = 1.0 / args.rate if args.rate > 0 else 0
    try:
        for n in range(args.datagrams):
            if stop():
                break
            body = cart_item(3, leads, n)
            if flags or args.bad_at >= 0:
                f1, f2 = flags[n % len(flags)] if flags else (0, 0)
                if n == args.bad_at:
                    f1 |= 0x40
                body = bytes([3, 82]) + body[2:] + bytes([f1, f2])
            if args.short_datagrams:
                body = body[:-1]
            udp.sendto(body, ("127.0.0.1", args.monitor_port))
            sent += 1
            if period:
                time.sleep(period)
            # Commands may come while the datagrams run.
            if select.select([sock], [], [], 0)[0]:
                return sent, True
    finally:
        udp.close()
    return sent, False


def cart_main(argv):
    p = argparse.ArgumentParser(prog="devsim.py cart")
    p.add_argument("--port", type=int, default=2000)
    p.add_argument("--monitor-port", type=int, default=2001)
    p.add_argument("--script", default="record",
                   choices=["record", "stall", "close", "silence", "bad-lengths", "hostile"])
    p.add_argument("--items", type=int, default=1000)
    p.add_argument("--tag", default="0x03")
    p.add_argument("--chunk", type=int, default=65536)
    p.add_argument("--delay", type=float, default=0.0)
    p.add_argument("--pace", default="")
    p.add_argument("--statement", action="append")
    p.add_argument("--filter", default="2,3,1,0")
    p.add_argument("--mode", type=int, default=1)
    p.add_argument("--device-text", default="Cart 7")
    p.add_argument("--id", default="CART-0042")
    p.add_argument("--name", default="Jones")
    p.add_argument("--age", default="54")
    p.add_argument("--age-unit", default="0")
    p.add_argument("--sex", default="Male")
    p.add_argument("--height", default="180")
    p.add_argument("--weight", default="80")
    p.add_argument("--rate-bpm", type=int, default=75)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--datagrams", type=int, default=300)
    p.add_argument("--rate", type=float, default=100.0, help="datagrams per second")
    p.add_argument("--flags", default="", help="flags 1:flags 2 in hex per datagram, cycled")
    p.add_argument("--bad-at", type=int, default=-1, help="datagram with signal not good")
    p.add_argument("--short-datagrams", action="store_true")
    p.add_argument("--expect", help="write the record's truth as JSON to this file")
    p.add_argument("--connections", type=int, default=1)
    args = p.parse_args(argv)

    leads, truth = cart_samples(args)
    if args.expect:
        with open(args.expect, "w") as f:
            json.dump(truth, f)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", args.port))
    server.listen(1)
    print("LISTEN %d" % server.getsockname()[1], flush=True)
    for _ in range(args.connections):
        conn, _ = server.accept()
        print("ACCEPT", flush=True)
        cart_serve(args, leads, conn)
    server.close()
    return 0


def cart_serve(args, leads, conn):
    pending = bytearray()
    try:
        while True:
            chunk = conn.recv(64)
            if not chunk:
                break
            pending += chunk
            while len(pending) >= 3:
                kind, action = pending[0], pending[1]
                del pending[:3]
                print("CMD %d %d" % (kind, action), flush=True)
                if (kind, action) == (1, 0):
                    if args.script == "silence":
                        continue
                    stream = cart_stream(args, leads)
                    sent = 0
                    for at in range(0, len(stream), args.chunk):
                        conn.sendall(stream[at:at + args.chunk])
                        sent += len(stream[at:at + args.chunk])
                        if args.delay:
                            time.sleep(args.delay)
                        # A cancel (1 1) may come while the record is on its way.
                        if select.select([conn], [], [], 0)[0]:
                            break
                    print("SENT %d" % sent, flush=True)
                    if args.script == "close":
                        conn.shutdown(socket.SHUT_RDWR)
                        print("CLOSED", flush=True)
                        return
                elif (kind, action) == (0, 0):
                    sent, more = cart_datagrams(args, leads, conn, lambda: False)
                    print("DATAGRAMS %d" % sent, flush=True)
    except (ConnectionResetError, BrokenPipeError):
        pass
    finally:
        conn.close()
    print("CLOSED", flush=True)


def finder_datagram(kind, type_byte, ip, ident="", text=""):
    d = bytearray(32)
    d[0], d[1], d[2], d[3] = 0xFD, kind, 0x20, type_byte
    d[4:8] = bytes(int(x) for x in ip.split("."))
    raw_id, raw_text = ident.encode("latin-1")[:8], text.encode("latin-1")[:13]
    d[8:8 + len(raw_id)] = raw_id
    d[17:17 + len(raw_text)] = raw_text
    d[31] = 0xEF
    return bytes(d)


def finder_device_main(argv):
    p = argparse.ArgumentParser(prog="devsim.py finder-device")
    p.add_argument("--port", type=int, default=3000, help="where requests arrive")
    p.add_argument("--id", default="CART7")
    p.add_argument("--text", default="Resting ECG")
    p.add_argument("--ip", default="127.0.0.1", help="the address the device announces")
    p.add_argument("--type", type=lambda v: int(v, 0), default=0x12)
    p.add_argument("--ask", type=int, default=0,
                   help="send one request to this port on 127.0.0.1 first")
    p.add_argument("--answer-port", type=int, default=3003,
                   help="where answers to a request go (the PC's answer port)")
    p.add_argument("--seconds", type=float, default=5.0)
    args = p.parse_args(argv)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("0.0.0.0", args.port))
    print("LISTEN %d" % sock.getsockname()[1], flush=True)

    def send(data, to):
        if not to[0].startswith("127."):
            raise SystemExit("devsim talks to loopback only")
        sock.sendto(data, to)
        print("SENT " + data.hex(), flush=True)

    if args.ask:
        send(finder_datagram(0, args.type, args.ip, args.id, args.text), ("127.0.0.1", args.ask))
    deadline = time.monotonic() + args.seconds
    while time.monotonic() < deadline:
        if not select.select([sock], [], [], 0.05)[0]:
            continue
        data, sender = sock.recvfrom(256)
        print("RECV " + data.hex(), flush=True)
        if len(data) == 32 and data[0] == 0xFD and data[1] == 0 and data[31] == 0xEF:
            send(finder_datagram(1, args.type, args.ip, args.id, args.text),
                 (sender[0], args.answer_port))
    sock.close()
    return 0


ROLES = {"cart": cart_main, "finder-device": finder_device_main}


if __name__ == "__main__":
    sys.exit(main())
