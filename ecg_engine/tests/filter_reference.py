#!/usr/bin/python3
"""Checks the engine's filters against scipy.signal on sines, an impulse, a step and drift.

Usage: filter_reference.py <path of ecg_filter_probe>

The recursive and FIR filters are compared with scipy.signal.lfilter in double precision
(1 LSB allowed); the adaptive hum cancellers with a plain double-precision LMS loop
(2 LSB allowed). The low-pass corners and the hum notches are checked against their
stated figures.
"""
import math
import subprocess
import sys

import numpy as np
from scipy import signal

FS = 500.0
N = 6000
PROBE = sys.argv[1]


def run_probe(name, param, x):
    text = "\n".join(str(int(v)) for v in x)
    out = subprocess.run([PROBE, name, str(param)], input=text, capture_output=True, text=True,
                         check=True).stdout
    return np.array([int(v) for v in out.split()], dtype=np.int64)


def to_sample(v):
    """Truncate toward zero, then limit to the 16-bit range."""
    return np.clip(np.trunc(np.nan_to_num(v)), -32768, 32767).astype(np.int64)


def baseline0(x):
    x = x.astype(np.float64)
    bb = [1.5768e-6, 3.1535e-6, 1.5768e-6]
    aa = [1.0, -1.9969823, 0.9969886]
    b = np.empty(N)
    b[0] = x[0]
    b[1] = 1.5768e-6 * x[1] - 0.9969839 * x[0] + 1.9969823 * b[0]
    zi = signal.lfiltic(bb, aa, y=[b[1], b[0]], x=[x[1], x[0]])
    b[2:], _ = signal.lfilter(bb, aa, x[2:], zi=zi)
    e = np.zeros(N + 1, dtype=np.int64)
    e[1:N - 449] = to_sample(b[450:N])
    e[N - 449:] = to_sample(b[N - 451])
    return to_sample(x - e[:N])


def baseline1(x, nbf):
    x = x.astype(np.int64)
    mean = int(np.fix(x.sum() / N))
    x = to_sample(x - mean)
    if nbf != 1:
        return x
    xf = x.astype(np.float64)
    bb = [4.8233696e-6, 9.646739e-6, 4.8233696e-6]
    aa = [1.0, -1.9947168, 0.994736]
    b = np.zeros(N)
    zi = signal.lfiltic(bb, aa, y=[0.0, 0.0], x=[xf[1], xf[0]])
    b[2:], _ = signal.lfilter(bb, aa, xf[2:], zi=zi)
    e = np.zeros(N + 1, dtype=np.int64)
    e[80:N - 79] = to_sample(b[159:N])
    e[N - 79:] = to_sample(b[N - 81])
    return to_sample(xf - e[:N])


HUM_IIR = {
    1: [0.909091, -4.398812, 9.821635, -12.611275, 4.534669, -9.488805, 11.418373, -8.333867,
        3.497967, -0.677493],
    2: [0.909091, -3.960032, 8.476647, -10.702162, 4.082337, -8.189395, 9.689844, -7.192616,
        3.149046, -0.677493],
}


def hum0(x, nac):
    c = np.float32(HUM_IIR[nac]).astype(np.float64)  # the coefficients are single precision
    bb = [c[0], c[1], c[2], c[3], c[2], c[1], c[0]]
    aa = [1.0] + [-v for v in c[4:]]
    y = signal.lfilter(bb, aa, x.astype(np.float64))
    period, delay, scale = (10, 6, 0.1) if nac == 1 else (8, 5, 0.125)
    sums = np.convolve(y, np.ones(period))[:N]  # sums[n] = y[n - period + 1] + ... + y[n]
    out = x.astype(np.int64).copy()
    n = np.arange(period, N)
    out[n - delay] = to_sample(scale * sums[n])
    out[:10] = out[10]
    out[N - 10:] = out[N - 10]
    return out


def lms(x, taps, ref, step, warmup):
    w = [0.0] * taps
    r = [0.0] * taps
    out = x.astype(np.int64).copy()
    values = [float(v) for v in x]

    def one(k):
        r.insert(0, ref(k))
        r.pop()
        e = values[k] - sum(wj * rj for wj, rj in zip(w, r))
        for j in range(taps):
            w[j] += step * r[j] * e
        return e

    for k in range(min(warmup, N - 1), 0, -1):
        one(k)
    for n in range(N):
        out[n] = to_sample(one(n))
    return out


def hum1(x, nac):
    if nac == 1:
        period, amp, warm = 10, 60.0, 2000
        table = np.round(np.cos(2 * np.pi * np.arange(period) / period), 6)
    else:
        period, amp, warm = 25, 80.0, 1500
        table = np.round(np.cos(2 * np.pi * 3 * np.arange(period) / period), 6)
    table = [float(v) for v in table]
    return lms(x, 6, lambda k: amp * table[k % period], 3.0e-7, warm)


def hum21(x, nac):
    omega = 0.6283184 if nac == 1 else 0.75398208
    return lms(x, 8, lambda k: 120.0 * math.sin((1000 + k) * omega), 3.5e-6, 0)


LP_A = {
    1: [0, 189, 427, 647, 762, 685, 358, -216, -962, -1726, -2288, -2412, -1892, -604, 1451,
        4123, 7127, 10083, 12579, 14249, 14835],
    2: [0, -202, -177, 239, 511, 0, -834, -643, 793, 1575, 0, -2338, -1760, 2155, 4314, 0,
        -7072, -6009, 9211, 30197, 40072],
    3: [0, -202, 176, 239, -510, 0, 833, -642, -793, 1574, 0, -2335, 1759, 2153, -4311, 0, 7066,
        -6004, -9203, 30171, 60059],
}
LP_B = {
    1: [188, 1406, 4050, 7948, 12259, 15667, 16966],
    2: [1344, 0, -4003, -4402, 8026, 29089, 39892],
    3: [-1365, 0, 4065, -4470, -8150, 29539, 60763],
}
MUSCLE = [-72, 18, 88, 138, 168, 178, 168, 138, 88, 18, -72]


def full_kernel(half):
    return np.array(half + half[-2::-1], dtype=np.float64)


def lowpass(x, half):
    h = full_kernel(half)
    centre = len(h) // 2
    s = signal.lfilter(h, [1.0], x.astype(np.float64))
    out = x.astype(np.int64).copy()
    out[:N - centre] = to_sample(s[centre:] * 1e-5)
    out[N - centre:] = out[N - centre - 1]
    return out


def muscle(x):
    s = signal.lfilter(np.array(MUSCLE, dtype=np.float64), [1.0], x.astype(np.float64))
    out = x.astype(np.int64).copy()
    n = np.arange(11, N)
    out[n - 5] = to_sample(s[n] / 858.0)
    out[:6] = out[6]
    out[N - 5:] = out[N - 6]
    return out


def sine(hz, amp, offset=0.0):
    return np.trunc(offset + amp * np.sin(2 * np.pi * hz * np.arange(N) / FS)).astype(np.int64)


def test_signals():
    t = np.arange(N) / FS
    impulse = np.zeros(N, dtype=np.int64)
    impulse[3000] = 2000
    step = np.where(np.arange(N) >= 3000, 1500, -300).astype(np.int64)
    drift = np.trunc(600 * t / t[-1] + 300 * np.sin(2 * np.pi * 0.4 * t) +
                     200 * np.sin(2 * np.pi * 8 * t)).astype(np.int64)
    return {
        "sine 2 Hz": sine(2, 1500, 200),
        "sine 10 Hz": sine(10, 1000),
        "sine 50 Hz": sine(50, 300, -100),
        "sine 60 Hz": sine(60, 300, 100),
        "sine 120 Hz": sine(120, 1000),
        "impulse": impulse,
        "step": step,
        "drift": drift,
    }


CASES = [("base0", 0, baseline0, 1)]
# The second baseline step keeps its estimate in single precision as the engine specifies;
# with poles this close to 1 that estimate drifts up to about 1.1 units from a double-precision
# run on a large step, so the truncated result may differ by one more LSB.
CASES += [("base1", 0, lambda x: baseline1(x, 0), 1), ("base1", 1, lambda x: baseline1(x, 1), 2)]
CASES += [("hum0", nac, lambda x, nac=nac: hum0(x, nac), 1) for nac in (1, 2)]
CASES += [("hum1", nac, lambda x, nac=nac: hum1(x, nac), 2) for nac in (1, 2)]
CASES += [("hum21", nac, lambda x, nac=nac: hum21(x, nac), 2) for nac in (1, 2)]
CASES += [("lp0", k, lambda x, k=k: lowpass(x, LP_A[k]), 1) for k in (1, 2, 3)]
CASES += [("lp1", k, lambda x, k=k: lowpass(x, LP_B[k]), 1) for k in (1, 2, 3)]
CASES += [("muscle", 0, muscle, 1)]


def peak(x, lo=2000, hi=5500):
    return float(np.max(np.abs(x[lo:hi])))


def main():
    failures = []
    worst = {}
    for label, x in test_signals().items():
        for name, param, reference, allowed in CASES:
            got = run_probe(name, param, x)
            want = reference(x)
            diff = int(np.max(np.abs(got - want)))
            key = f"{name} {param}"
            worst[key] = max(worst.get(key, 0), diff)
            if diff > allowed:
                at = int(np.argmax(np.abs(got - want)))
                failures.append(f"{key} on {label}: {diff} LSB at {at} "
                                f"(engine {got[at]}, reference {want[at]})")

    # Stated corners of the low-pass kernels: the -3 dB point of each kernel, and the gain
    # that the engine's filter gives a sine there.
    corners = {("lp0", 1): 33, ("lp0", 2): 96, ("lp0", 3): 146,
               ("lp1", 1): 30, ("lp1", 2): 88, ("lp1", 3): 138}
    for (name, k), hz in corners.items():
        h = full_kernel((LP_A if name == "lp0" else LP_B)[k]) * 1e-5
        f, resp = signal.freqz(h, worN=8192, fs=FS)
        mag = np.abs(resp)
        cross = f[np.argmax(mag < np.sqrt(0.5) * mag[0])]
        if abs(cross - hz) > 3:
            failures.append(f"{name} {k}: -3 dB at {cross:.1f} Hz, stated {hz} Hz")
        gain = peak(run_probe(name, k, sine(hz, 2000))) / 2000.0
        print(f"{name} {k}: -3 dB at {cross:.1f} Hz (stated {hz}), gain there {gain:.3f}")
        if abs(gain - np.sqrt(0.5)) > 0.06:
            failures.append(f"{name} {k}: gain {gain:.3f} at {hz} Hz")

    # Hum removal: the mains sine goes, a 10 Hz sine stays. The notch of set A is fixed; the
    # adaptive cancellers are judged once they have adapted (the last 1500 samples).
    for name, start, keep_range in (("hum0", 2000, (0.95, 1.05)), ("hum1", 4500, (0.95, 1.05)),
                                    ("hum21", 4500, (0.8, 1.25))):
        for nac, hz in ((1, 50), (2, 60)):
            rest = peak(run_probe(name, nac, sine(hz, 1000)), start, N) / 1000.0
            keep = peak(run_probe(name, nac, sine(10, 1000)), start, N - 20) / 1000.0
            print(f"{name} {nac}: {hz} Hz left {rest:.3f}, 10 Hz passed {keep:.3f}")
            if rest > 0.02:
                failures.append(f"{name} {nac}: {hz} Hz kept at {rest:.3f}")
            if not keep_range[0] <= keep <= keep_range[1]:
                failures.append(f"{name} {nac}: 10 Hz passed at {keep:.3f}")

    for key, diff in sorted(worst.items()):
        print(f"{key:10s} worst difference {diff} LSB")
    for line in failures:
        print("FAIL", line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
