#!/usr/bin/python3
"""Synthetic 12-lead ECG records with known answers, for the analysis engine's tests.

Usage:
  ecgsynth.py OUT.{raw,ekg,rec,dcd} [options]

Writes OUT (the engine's input layout chosen by the extension) and OUT.json (the truth).

Beats:
  --rate BPM          beats at a fixed rate (default 60)
  --beats P,P,...     QRS onsets at these record positions instead (0..4999, 2 ms each)
  --first N           record position of the first QRS onset with --rate (default 250)
  --script "S,S:800,V:560,S:1040"  a beat script instead: per beat KIND[:RR[:PR[:PAXIS]]] with
                      RR the ms from the previous beat and PR the ms from P onset to QRS
                      onset; kinds S sinus, A ectopic atrial (P along PAXIS, default
                      --aaxis -70), J junctional (no P), V ventricular (own wide lobes,
                      discordant T, no P), E escape junctional, EV escape ventricular,
                      W sinus P with a wide QRS along --axis, B a P wave that is not
                      conducted (no QRS)
  --irregular PCT     seeded irregular intervals within +-PCT % of the --rate interval
Ventricular beats:
  --vlimb "R:1000:30,S:-800:40"  --vchest (the same)  their lobes (chest leads
                      scaled -0.8, -0.6, 0.4, 0.8, 1, 1 from V1 to V6)
  --vaxis DEG         their frontal direction (default -70)
  --vamp SCALE        their size and T size (default 1)
Atrial activity:
  --ptimeline BPM[:FIRST]  P waves on their own timeline (AV dissociation)
  --flutter BPM[:UV]  flutter waves (default 150 uV): slow fall and quick return along
                      --flutteraxis (default 70), smaller in the chest leads
  --fib UV            fibrillation waves: four seeded sines of 4.5-8 Hz
Waves (each wave a half-sine lobe with exact onset and offset; amplitudes in microvolts,
durations in samples of 2 ms):
  --limb  "R:1000:28,S:-250:20"   QRS lobes of the frontal vector; the limb leads are its
                                   projections, so the QRS axis is --axis
  --axis DEG          frontal direction of the vector (default 60)
  --V1 .. --V6 "..."  QRS lobes of one chest lead (defaults: rS, RS, RS, Rs, qRs, qR;
                      every default QRS lasts 48 samples, 96 ms)
  --p UV --t UV       P and T amplitude (100, 300) along their frontal vectors and in the
                      chest leads; 0 leaves the wave out
  --paxis DEG --taxis DEG   frontal direction of the P and of the T vector (default --axis)
  --pr N --st N       PR segment (P offset to QRS onset) and ST segment (QRS offset to T
                      onset) in samples (defaults 20 and 30, 40 and 60 ms, at every rate)
Waveform details (leads by name; the limb leads III, aVR, aVL and aVF follow from I and II,
so per-lead values of limb leads are given for I and II only):
  --limb "Q:-300:12@-60,R:1000:28"  a lobe may carry its own frontal direction after "@"
                      (default --axis): Q waves in chosen limb leads, an initial axis
  --stlead "I:-200,V2:300"  ST level per lead: from the QRS offset to the T onset, then
                      fading to 0 at the T offset
  --tlead "V1:-300"   T amplitude per lead (signed), instead of its --t projection
  --plead "II:300,V1:-150"  P amplitude per lead (signed), instead of its --p projection
  --pdur N            P duration in samples (default 45, at most 15 % of the RR)
  --pnotch            notched P waves (two humps)
  --delta N[:F]       delta wave: the QRS starts N samples early with a slow rise to F
                      (default 0.25) times the first lobe, fading out over that lobe
  --u UV              U wave of UV along the T vector, from 10 samples after the T offset,
                      60 samples long (shorter when the next P follows closely)
  --qt MS             QT length (QRS onset to T offset) in ms, instead of the T that fills
                      the interval
  --scale F[:G]       QRS size factor of the limb leads (F) and the chest leads (G, default F)
  RSR' in V1: --V1 "R:300:14,S:-600:14,R:900:20"
Disturbances (microvolts):
  --hum UV[:HZ]       mains hum (default frequency 50)
  --drift UV          baseline drift, a 0.3 Hz sine
  --noise UV          Gaussian noise (standard deviation)
  --spikes N          N single-sample spikes of 5 mV at random places
  --saturate          amplify 40 times and clip to 16 bits
  --flat              every sample 0
  --random            every sample random 16-bit (fuzz input)
  --seed N            random seed (default 1)
  --truncate BYTES    cut the written file to this size
  --onelead NAME      one lead in every channel, as a single-lead recorder writes (after the
                      disturbances; the truth keeps the 12-lead values)

Truth (OUT.json): record positions (analysis frame, 0..4999); add 500 for the engine's
detection frame. Keys: "beats" (per beat "qrs_onset", "qrs_offset", "p_onset", "p_offset",
"t_onset", "t_offset", "rr_ms"), "lead_types" (per lead in the order I, II, III, aVR, aVL,
aVF, V1..V6 the QRS type the lobes form, or null when a lobe is too small or short to count),
"lead_lobes" (the signed lobes per lead: [amplitude uV, duration]), "lead_qrs_samples" (QRS
length per lead; "qrs_offset" is the latest lead's), "axis", "rate",
"qrs_duration_ms", "p_axis", "t_axis", "unit_uv" (2.44140625: one sample unit),
"st_lead", "t_lead", "p_lead" (per lead the levels asked for, limb leads derived); per beat
"kind" (sinus, ectopic atrial, junctional, ventricular, escape junctional, escape
ventricular, sinus wide QRS); "blocked_p" and "p_timeline": P onsets without a QRS.
Standard library only.
"""

import json
import math
import os
import random
import struct
import sys

UNIT_UV = 10000.0 / 4096.0
N = 5000
LEADS = ["I", "II", "III", "aVR", "aVL", "aVF", "V1", "V2", "V3", "V4", "V5", "V6"]
CHEST_DEFAULT = {
    "V1": "R:200:18,S:-1200:30",
    "V2": "R:500:20,S:-1400:28",
    "V3": "R:900:24,S:-900:24",
    "V4": "R:1500:28,S:-500:20",
    "V5": "Q:-150:12,R:1600:22,S:-300:14",
    "V6": "Q:-150:12,R:1200:36",
}
# Wide ventricular beats: 140 ms, about 1 mV, a frontal direction of -70 degrees; the chest
# leads take one shape scaled by lead (negative in V1, positive from V4 on).
V_LIMB_DEFAULT = "R:1000:30,S:-800:40"
V_CHEST_DEFAULT = "R:1000:30,S:-800:40"
V_CHEST_FACTORS = [-0.8, -0.6, 0.4, 0.8, 1.0, 1.0]
FLUTTER_CHEST = [0.5, 0.3, 0.2, 0.1, 0.1, 0.1]
BEAT_KINDS = {"S": "sinus", "A": "ectopic atrial", "J": "junctional", "V": "ventricular",
              "E": "escape junctional", "EV": "escape ventricular", "B": "blocked P",
              "W": "sinus, wide QRS"}

# Smallest lobe whose wave survives the engine's size checks with a margin.
MIN_LOBE_UV = 120.0
MIN_LOBE_SAMPLES = 12


def parse_lobes(text):
    lobes = []
    for part in text.split(","):
        part = part.strip()
        if not part:
            continue
        bits = part.split("@")[0].split(":")
        lobes.append((float(bits[1]), int(bits[2])))
    return lobes


def lobe_directions(text):
    """Frontal direction of each lobe ("@DEG"), None where the lobe has none."""
    dirs = []
    for part in text.split(","):
        part = part.strip()
        if not part:
            continue
        bits = part.split("@")
        dirs.append(float(bits[1]) if len(bits) > 1 else None)
    return dirs


def lead_values(text, flag):
    """Per-lead values "LEAD:UV,..." as a list of 12 (None where not given); the limb leads
    III, aVR, aVL and aVF follow from I and II."""
    given = {}
    for part in (text or "").split(","):
        part = part.strip()
        if not part:
            continue
        name, value = part.split(":")
        if name not in LEADS:
            raise SystemExit("ecgsynth: unknown lead %s in --%s" % (name, flag))
        if name in ("III", "aVR", "aVL", "aVF"):
            raise SystemExit("ecgsynth: --%s takes the limb leads I and II only" % flag)
        given[LEADS.index(name)] = float(value)
    if not given:
        return [None] * 12
    out = [given.get(li) for li in range(12)]
    if 0 in given or 1 in given:
        i_v, ii_v = given.get(0, 0.0), given.get(1, 0.0)
        iii = ii_v - i_v
        out[0], out[1] = i_v, ii_v
        out[2], out[3], out[4], out[5] = iii, -(i_v + ii_v) / 2, (i_v - iii) / 2, (ii_v + iii) / 2
    return out


def notched(n, k):
    """A P wave with a notch: two humps over a lower broad one."""
    h = 0.6 * n
    first = bump(int(h), k) if k < int(h) else 0.0
    second = bump(int(h), k - (n - int(h))) if k >= n - int(h) else 0.0
    return max(first, second, 0.7 * bump(n, k))


def lobes_type(lobes):
    """QRS type name formed by a list of signed lobes (None when a lobe would not count)."""
    if not lobes:
        return None
    for amp, dur in lobes:
        if abs(amp) < MIN_LOBE_UV or dur < MIN_LOBE_SAMPLES:
            return None
    signs = ["+" if a > 0 else "-" for a, _ in lobes]
    names = {
        "+": "R", "-": "QS", "+-": "RS", "-+": "QR", "-+-": "QRS", "+-+": "RSR'",
        "+-+-": "RSR'S'", "-+-+": "QRSR'", "-+-+-": "QRSR'S'",
    }
    return names.get("".join(signs))


def half_sine(n, k):
    return math.sin(math.pi * (k + 0.5) / n)


def bump(n, k):
    """Raised cosine of n samples: exactly 0 outside, smooth at both ends."""
    return 0.5 - 0.5 * math.cos(2.0 * math.pi * (k + 0.5) / n)


def main(argv):
    args = {"rate": "60", "first": "250", "limb": "R:1000:28,S:-250:20", "axis": "60",
            "vaxis": "-70", "vamp": "1", "vlimb": V_LIMB_DEFAULT, "vchest": V_CHEST_DEFAULT,
            "aaxis": "-70",
            "p": "100", "t": "300", "hum": "0", "drift": "0", "noise": "0", "spikes": "0", "pr": "20", "st": "30",
            "seed": "1"}
    flags = set()
    out = None
    i = 1
    while i < len(argv):
        a = argv[i]
        if a in ("--flat", "--random", "--saturate", "--pnotch"):
            flags.add(a[2:])
        elif a.startswith("--"):
            if i + 1 >= len(argv):
                sys.stderr.write(__doc__)
                return 2
            args[a[2:]] = argv[i + 1]
            i += 1
        else:
            out = a
        i += 1
    if not out:
        sys.stderr.write(__doc__)
        return 2
    ext = os.path.splitext(out)[1].lower()
    if ext not in (".raw", ".ekg", ".rec", ".dcd"):
        sys.stderr.write("ecgsynth: unknown record kind %s\n" % ext)
        return 2

    rnd = random.Random(int(args["seed"]))
    axis = float(args["axis"])
    limb = parse_lobes(args["limb"])
    chest = [parse_lobes(args.get(v, CHEST_DEFAULT[v])) for v in ("V1", "V2", "V3", "V4",
                                                                   "V5", "V6")]
    # Projections of the frontal vector on I, II (III and the augmented leads follow).
    rad = math.radians(axis)
    proj_i = math.cos(rad)
    proj_ii = math.cos(rad - math.radians(60))
    proj = {
        "I": proj_i, "II": proj_ii, "III": proj_ii - proj_i, "aVR": -(proj_i + proj_ii) / 2,
        "aVL": (proj_i - (proj_ii - proj_i)) / 2, "aVF": (proj_ii + (proj_ii - proj_i)) / 2,
    }
    def projections(deg):
        r = math.radians(deg)
        pi_, pii = math.cos(r), math.cos(r - math.radians(60))
        return [pi_, pii, pii - pi_, -(pi_ + pii) / 2, (pi_ - (pii - pi_)) / 2,
                (pii + (pii - pi_)) / 2] + [1.0] * 6

    p_axis = float(args.get("paxis", args["axis"]))
    t_axis = float(args.get("taxis", args["axis"]))
    p_proj, t_proj = projections(p_axis), projections(t_axis)
    blocked = []
    lead_lobes = {}
    limb_dirs = lobe_directions(args["limb"])
    scale_bits = args.get("scale", "1").split(":")
    limb_scale = float(scale_bits[0])
    chest_scale = float(scale_bits[1]) if len(scale_bits) > 1 else limb_scale
    for li, name in enumerate(LEADS[:6]):
        lead_lobes[name] = [(limb_scale * a * (proj[name] if limb_dirs[k] is None
                                               else projections(limb_dirs[k])[li]), d)
                            for k, (a, d) in enumerate(limb)]
    for k, name in enumerate(LEADS[6:]):
        lead_lobes[name] = [(chest_scale * a, d) for a, d in chest[k]]
    st_lead = lead_values(args.get("stlead"), "stlead")
    t_lead = lead_values(args.get("tlead"), "tlead")
    p_lead = lead_values(args.get("plead"), "plead")
    delta_bits = args.get("delta", "0").split(":")
    delta_len = int(delta_bits[0])
    delta_frac = float(delta_bits[1]) if len(delta_bits) > 1 else 0.25
    p_amp = float(args["p"])
    t_amp = float(args["t"])

    # Each beat: its kind, its QRS onset, and its own P wave (PR in samples from P onset to
    # QRS onset, None for the fixed PR segment of --pr) with the P wave's frontal direction.
    events = []
    if "script" in args:
        pos = int(args["first"])
        first = True
        for item in args["script"].split(","):
            bits = [x for x in item.strip().split(":")]
            if not bits or not bits[0]:
                continue
            kind = bits[0].upper()
            if kind not in BEAT_KINDS:
                sys.stderr.write("ecgsynth: unknown beat kind %s\n" % kind)
                return 2
            rr_ms = float(bits[1]) if len(bits) > 1 and bits[1] else 1000.0
            pr_ms = float(bits[2]) if len(bits) > 2 and bits[2] else None
            axis_p = float(bits[3]) if len(bits) > 3 and bits[3] else (
                float(args["aaxis"]) if kind == "A" else p_axis)
            # The interval leads up to the beat (the first beat stands at --first).
            if not first:
                pos += int(round(rr_ms / 2))
            first = False
            events.append({"kind": kind, "on": pos,
                           "pr": None if pr_ms is None else int(round(pr_ms / 2)),
                           "paxis": axis_p})
    else:
        if "beats" in args:
            onsets = [int(x) for x in args["beats"].split(",") if x.strip()]
        elif "irregular" in args:
            # Seeded irregular intervals around the mean of --rate.
            spread = float(args["irregular"]) / 100.0
            rr = 30000.0 / float(args["rate"])
            irr = random.Random(int(args["seed"]) + 1000)
            onsets = []
            pos = float(args["first"])
            while pos + 200 < N:
                onsets.append(int(round(pos)))
                pos += rr * (1.0 + irr.uniform(-spread, spread))
        else:
            rr = 30000.0 / float(args["rate"])
            onsets = []
            pos = float(args["first"])
            while pos + 200 < N:
                onsets.append(int(round(pos)))
                pos += rr
        events = [{"kind": "S", "on": on, "pr": None, "paxis": p_axis} for on in onsets]
    onsets = [e["on"] for e in events]

    # Wide ventricular beats: own lobes, no P wave, T opposite to the QRS.
    v_axis = float(args["vaxis"])
    v_scale = float(args["vamp"])
    v_limb = parse_lobes(args["vlimb"])
    v_chest = parse_lobes(args["vchest"])
    v_proj = projections(v_axis)
    v_lobes = {}
    for li, name in enumerate(LEADS):
        base = v_limb if li < 6 else v_chest
        factor = v_proj[li] if li < 6 else V_CHEST_FACTORS[li - 6]
        v_lobes[name] = [(a * factor * v_scale, d) for a, d in base]
    w_proj = projections(axis)
    w_lobes = {}
    for li, name in enumerate(LEADS):
        base = v_limb if li < 6 else v_chest
        factor = w_proj[li] if li < 6 else V_CHEST_FACTORS[li - 6]
        w_lobes[name] = [(a * factor * v_scale, d) for a, d in base]
    v_t_proj = projections(v_axis + 180.0)
    v_t_scale = [v_t_proj[li] if li < 6 else -V_CHEST_FACTORS[li - 6] for li in range(12)]

    uv = [[0.0] * N for _ in range(12)]
    beats = []
    for b, ev in enumerate(events):
        on = ev["on"]
        kind = ev["kind"]
        rr_s = (onsets[b + 1] - on) if b + 1 < len(onsets) else (
            (on - onsets[b - 1]) if b > 0 else 500)
        rr_s = max(rr_s, 60)
        wide = kind in ("V", "EV", "W")
        lobes_of = (w_lobes if kind == "W" else v_lobes) if wide else lead_lobes
        has_qrs = kind != "B"
        has_p = kind in ("S", "A", "B", "W")
        qrs_len = max(sum(d for _, d in lobes_of[name]) for name in LEADS)
        off = on + qrs_len
        # Fixed PR and ST segments at every rate; P and T shrink to fit.
        p_gap, t_gap = int(args["pr"]), int(args["st"])
        p_len = int(min(int(args.get("pdur", "45")), 0.15 * rr_s))
        if ev["pr"] is not None:
            p_gap = max(ev["pr"] - p_len, 0)
        t_len = int(max(10, min(90, rr_s - qrs_len - t_gap - p_gap - p_len - 4)))
        if "qt" in args:
            t_len = max(10, int(round(float(args["qt"]) / 2)) - qrs_len - t_gap)
        beat = {"qrs_onset": on, "qrs_offset": off, "kind": BEAT_KINDS[kind]}
        own_lobes = not wide and has_qrs
        if own_lobes and delta_len:
            beat["qrs_onset"] = on - delta_len
        if p_amp and has_p:
            beat["p_onset"], beat["p_offset"] = on - p_gap - p_len, on - p_gap
        if t_amp and has_qrs:
            beat["t_onset"], beat["t_offset"] = off + t_gap, off + t_gap + t_len
        u_len = 0
        if "u" in args and t_amp and has_qrs:
            u_len = int(min(60, rr_s - qrs_len - t_gap - t_len - 10 - p_gap - p_len))
        if has_qrs:
            beats.append(beat)
        else:
            blocked.append(beat["p_onset"] if "p_onset" in beat else on)
        beat_p_proj = p_proj if ev["paxis"] == p_axis else projections(ev["paxis"])
        beat_t_proj = v_t_scale if wide else t_proj
        t_beat_amp = t_amp * (v_scale if wide else 1.0)
        for li, name in enumerate(LEADS):
            pos = on
            if own_lobes and delta_len and lobes_of[name]:
                a0, d0 = lobes_of[name][0]
                level = delta_frac * a0
                for k in range(delta_len):
                    if 0 <= on - delta_len + k < N:
                        uv[li][on - delta_len + k] += level * (k + 1) / delta_len
                for k in range(d0):
                    if 0 <= on + k < N:
                        uv[li][on + k] += level * (1.0 - (k + 1) / d0)
            if own_lobes and st_lead[li]:
                t_on = beat.get("t_onset", off + t_gap)
                t_end = beat.get("t_offset", t_on)
                for k in range(off, t_end):
                    if 0 <= k < N:
                        uv[li][k] += st_lead[li] * (1.0 if k < t_on else
                                                    1.0 - (k - t_on + 1) / max(t_end - t_on, 1))
            if has_qrs:
                for amp, dur in lobes_of[name]:
                    for k in range(dur):
                        if 0 <= pos + k < N:
                            uv[li][pos + k] += amp * half_sine(dur, k)
                    pos += dur
            for key, amp, wave_len, scale in (("p", p_amp, p_len, beat_p_proj[li]),
                                              ("t", t_beat_amp, t_len, beat_t_proj[li])):
                if not amp or key + "_onset" not in beat:
                    continue
                start = beat[key + "_onset"]
                value = scale * amp
                if key == "p" and p_lead[li] is not None:
                    value = p_lead[li]
                if key == "t" and not wide and t_lead[li] is not None:
                    value = t_lead[li]
                shape = notched if key == "p" and "pnotch" in flags else bump
                for k in range(wave_len):
                    if 0 <= start + k < N:
                        uv[li][start + k] += value * shape(wave_len, k)
                if key == "t" and u_len > 0:
                    u_value = value * float(args["u"]) / t_beat_amp
                    for k in range(u_len):
                        if 0 <= beat["t_offset"] + 10 + k < N:
                            uv[li][beat["t_offset"] + 10 + k] += u_value * bump(u_len, k)
    for b in range(len(beats)):
        if b + 1 < len(beats):
            beats[b]["rr_ms"] = (beats[b + 1]["qrs_onset"] - beats[b]["qrs_onset"]) * 2

    # P waves on their own timeline (atrial activity independent of the QRS).
    p_train = []
    if "ptimeline" in args:
        bits = args["ptimeline"].split(":")
        step = 30000.0 / float(bits[0])
        pos = float(bits[1]) if len(bits) > 1 else 100.0
        plen = 45
        amp = p_amp if p_amp else 100.0
        while pos + plen < N:
            start = int(round(pos))
            p_train.append(start)
            for li in range(12):
                for k in range(plen):
                    uv[li][start + k] += p_proj[li] * amp * bump(plen, k)
            pos += step

    # Atrial flutter: a sawtooth at the flutter rate, negative in the inferior leads.
    if "flutter" in args:
        bits = args["flutter"].split(":")
        period = 30000.0 / float(bits[0])
        amp = float(bits[1]) if len(bits) > 1 else 150.0
        f_proj = projections(float(args.get("flutteraxis", "70")))
        for s in range(N):
            phase = (s % period) / period
            # slow fall over 70 % of the cycle, quick return
            w = -phase / 0.7 if phase < 0.7 else -(1.0 - phase) / 0.3
            w = (w + 0.5) * 2.0 * amp
            for li in range(12):
                scale = f_proj[li] if li < 6 else FLUTTER_CHEST[li - 6]
                uv[li][s] += scale * w

    # Atrial fibrillation: fine waves of a few seeded frequencies around 6 Hz.
    if "fib" in args:
        amp = float(args["fib"])
        frng = random.Random(int(args["seed"]) + 2000)
        waves = [(frng.uniform(4.5, 8.0), frng.uniform(0, 2 * math.pi), frng.uniform(0.5, 1.0))
                 for _ in range(4)]
        for s in range(N):
            t = s / 500.0
            v = sum(a * math.sin(2 * math.pi * f * t + ph) for f, ph, a in waves) * amp / 2.0
            for li in range(12):
                scale = (0.5, 1.0, 0.5, -0.75, 0.0, 0.75, 1.0, 0.8, 0.6, 0.4, 0.3, 0.3)[li]
                uv[li][s] += scale * v

    hum = args["hum"].split(":")
    hum_uv = float(hum[0])
    hum_hz = float(hum[1]) if len(hum) > 1 else 50.0
    drift = float(args["drift"])
    noise = float(args["noise"])
    # Disturbances on the electrodes: derive the limb leads from I and II so that the
    # record keeps Einthoven's law (the engine derives III and the augmented leads itself).
    for li in (0, 1, 6, 7, 8, 9, 10, 11):
        phase = rnd.uniform(0, 2 * math.pi)
        for s in range(N):
            t = s / 500.0
            v = hum_uv * math.sin(2 * math.pi * hum_hz * t + phase)
            v += drift * math.sin(2 * math.pi * 0.3 * t + phase)
            if noise:
                v += rnd.gauss(0.0, noise)
            uv[li][s] += v
    for s in range(N):
        i_v, ii_v = uv[0][s], uv[1][s]
        uv[2][s] = ii_v - i_v
        uv[3][s] = -(i_v + ii_v) / 2
        uv[4][s] = (i_v - uv[2][s]) / 2
        uv[5][s] = (ii_v + uv[2][s]) / 2
    for _ in range(int(args["spikes"])):
        li = rnd.choice((0, 1, 6, 7, 8, 9, 10, 11))
        uv[li][rnd.randrange(N)] += rnd.choice((-5000.0, 5000.0))

    if "onelead" in args:
        if args["onelead"] not in LEADS:
            raise SystemExit("ecgsynth: unknown lead %s in --onelead" % args["onelead"])
        one = uv[LEADS.index(args["onelead"])]
        uv = [list(one) for _ in range(12)]

    gain = 40.0 if "saturate" in flags else 1.0
    samples = []
    for li in range(12):
        row = []
        for s in range(N):
            if "flat" in flags:
                v = 0
            elif "random" in flags:
                v = rnd.randint(-32768, 32767)
            else:
                v = int(round(gain * uv[li][s] / UNIT_UV))
                v = max(-32768, min(32767, v))
            row.append(v)
        samples.append(row)

    if ext == ".dcd":
        data = bytearray(b"H" * 3000)
        for g in range(4):
            for s in range(N):
                for k in range(3):
                    data += struct.pack(">h", samples[3 * g + k][s])
    else:
        data = bytearray()
        for li in range(12):
            data += struct.pack("<%dh" % N, *samples[li])
            data += bytes(200)
        if ext == ".raw":
            data += bytes(24 * N + 6400 - len(data)) + b"\0\0"  # engine input: no marks
        else:
            data += bytes(24 * N + 12900 - len(data))
            data[24 * N + 12400] = 0x60
    if "truncate" in args:
        data = data[:int(args["truncate"])]
    with open(out, "wb") as f:
        f.write(data)

    qrs_durs = sorted((b["qrs_offset"] - b["qrs_onset"]) * 2 for b in beats)
    truth = {
        "unit_uv": UNIT_UV,
        "axis": axis,
        "p_axis": p_axis,
        "t_axis": t_axis,
        "rate": None if "beats" in args else float(args["rate"]),
        "beats": beats,
        "qrs_duration_ms": qrs_durs[0] if qrs_durs else 0,
        "lead_types": [lobes_type(lead_lobes[name]) for name in LEADS],
        "lead_qrs_samples": [sum(d for _, d in lead_lobes[name]) for name in LEADS],
        "lead_lobes": [[[round(a, 3), d] for a, d in lead_lobes[name]] for name in LEADS],
        "flags": sorted(flags),
        "st_lead": st_lead,
        "t_lead": t_lead,
        "p_lead": p_lead,
        "blocked_p": blocked,
        "p_timeline": p_train,
    }
    with open(out + ".json", "w") as f:
        json.dump(truth, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
