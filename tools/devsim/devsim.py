#!/usr/bin/python3
"""Device simulator for the acquisition server (standard library only).

Plays the devices that talk to the server's TCP port: a legacy ECG cart (tagged
messages), a frame-mode ECG cart (0xFA/0xFD/0xFC frames ending in 0xEF), a packet
device (0xF1 command and 0xF2 data packets), and hostile streams. Its encoders are
written from the device's side of the protocol.

    devsim.py --port 2003 legacy-ecg --id 123 --expect out.json
    devsim.py --port 2003 frame-ecg --option 3 --long-reply --raw
    devsim.py --dump stream.bin packet
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
        self.globals = [72, 160, 90, 380, 410, 45, 30, 40]
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
    body += bytes([3]) + fixed("052", 3) + bytes([0]) + bytes([6]) + fixed("M", 6)
    body += bytes([4]) + fixed("172", 4) + bytes([4]) + fixed("68", 4)
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
    out += bytes([0x18, 0x10]) + b"".join(struct.pack(">H", g) for g in rec.globals)
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
    h[68:72] = fixed("052", 4)
    h[72:78] = fixed("M", 6)
    h[88:92] = fixed("172", 4)
    h[92:96] = fixed("68", 4)
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
    m[8:24] = b"".join(struct.pack(">H", g) for g in rec.globals)
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


SCRIPTS = ["legacy-ecg", "frame-ecg", "packet", "idle"] + [
    "hostile-" + k for k in ("bad-end", "bad-first", "huge-frame", "zero-frame", "overflow",
                             "frame-overflow", "split-file", "random")]


def build(args):
    if args.script == "legacy-ecg":
        return legacy_ecg(EcgRecord(args)), EcgRecord(args).expectation()
    if args.script == "frame-ecg":
        return frame_ecg(EcgRecord(args)), EcgRecord(args).expectation()
    if args.script == "packet":
        return packet_device(args), {"file_name": args.file_name, "file_size": args.file_size}
    if args.script == "idle":
        return b"", {}
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


def run(args, stream):
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
        # quiet time passed.
        deadline = time.monotonic() + args.timeout
        sock.settimeout(0.05)
        quiet_until = time.monotonic() + args.quiet
        while not closed and time.monotonic() < deadline:
            try:
                chunk = sock.recv(4096)
            except socket.timeout:
                if not args.wait_close and time.monotonic() > quiet_until:
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


def main():
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
    p.add_argument("--date", default="20260304050607")
    p.add_argument("--no-date", dest="date", action="store_const", const="")
    p.add_argument("--option", type=int, default=1, choices=[1, 2, 3])
    p.add_argument("--long-reply", action="store_true")
    p.add_argument("--file-name", default="777_20160504101500.mwf")
    p.add_argument("--file-size", type=int, default=2500)
    p.add_argument("--checksum", action="store_true")
    args = p.parse_args()
    if args.list:
        print("\n".join(SCRIPTS))
        return 0
    if not args.script:
        p.error("a script is needed")
    stream, expectation = build(args)
    if args.expect:
        with open(args.expect, "w") as f:
            json.dump(expectation, f)
    if args.dump:
        with open(args.dump, "wb") as f:
            f.write(stream)
        return 0
    run(args, stream)
    return 0


if __name__ == "__main__":
    sys.exit(main())
