#!/usr/bin/python3
"""Beats and statements of Zorvik31 on real ECG windows with expert references.

Usage:
  real_windows.py ZORVIK31 [CORPUS] [--work DIR] [--args "0 0 1 0 1 0"] [--json]

CORPUS is a folder with `windows/*.ekg` and `references.json` (default: the development set
beside the project, ../shared/ecg-corpus). Each window is copied into a work folder and the
program run on it there; the ".ksi" gives each detected QRS (onset, offset) and the
statements. A reference R peak is found when a detected QRS, widened by 75 ms on each side,
holds it, each QRS used once; a QRS left over is an extra beat. Prints one line a window, the
totals per source, and the rhythm statements that matter: per CinC label (N, O, A) the windows
stating "Atrial Fibrillation"; per expert-annotated source the windows stating fibrillation,
flutter, SVT or SA Block, and those with a V beat that state no PVC. Last, the severe rhythm
statements (fibrillation, flutter, SVT, ventricular rhythm or tachycardia, AV block II or III,
2:1 block, SA block, sinus pause, escape ventricular rhythm): per source and label the windows
that state one, against what the sinus windows (MIT/SVDB rhythm N, CinC normal) and the CinC
other-rhythm windows may state, then every severe statement of every window. Standard library
only.
"""

import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_CORPUS = os.path.normpath(os.path.join(HERE, "..", "..", "..", "shared", "ecg-corpus"))

LEADS = 12
RECORD_SAMPLES = 5000
INFO_BLOCK = LEADS * (2 * RECORD_SAMPLES + 200)
DATA_AREA = 3016
WIDEN = 75 * 500 // 1000  # 75 ms at 500 samples/s


def read_result(path):
    """(list of (onset, offset), list of statement texts) of a result file."""
    with open(path, "rb") as f:
        img = f.read()
    o = INFO_BLOCK + 2
    n = img[o + 1] // 2
    o += 10
    lengths = []
    while img[o] == 0x19 and img[o + 1] != 0xFF and len(lengths) < 40:
        lengths.append(img[o + 1])
        o += 2
    d = INFO_BLOCK + DATA_AREA

    def row(k):
        return [struct.unpack_from(">h", img, d + 2 * (k * n + b))[0] for b in range(n)]

    beats = list(zip(row(2), row(3)))
    o = d + 10 * n
    texts = []
    for length in lengths:
        texts.append(img[o:o + length].split(b"\0")[0].decode("cp1252", "replace").strip())
        o += length
    return beats, texts


def score(r_peaks, beats):
    used = [False] * len(beats)
    missed = []
    for r in r_peaks:
        hit = None
        for i, (on, off) in enumerate(beats):
            if not used[i] and on - WIDEN <= r <= off + WIDEN:
                hit = i
                break
        if hit is None:
            missed.append(r)
        else:
            used[hit] = True
    extra = [beats[i] for i in range(len(beats)) if not used[i]]
    return missed, extra


def forbidden(texts):
    """The statements no sinus window of an expert-annotated source may carry."""
    return [t for t in texts if t == "Atrial Fibrillation" or "lutter" in t
            or t.startswith("Supraventricular Tachycardia") or t == "SA Block"]


def severe(texts):
    """The statements no sinus window may carry: fibrillation, flutter, SVT, a ventricular
    rhythm or tachycardia, AV block II or III, 2:1 block, SA block, a sinus pause or an escape
    ventricular rhythm."""
    ventricular = ("Ventricular Rhythm", "Ventricular Tachycardia", "Slow Ventricular Tachycardia",
                   "Nonsustained Ventricular Tachycardia", "Escape Ventricular Rhythm")
    return [t for t in texts if forbidden([t]) or t in ventricular or t.startswith("AV Block II")
            or t in ("Complete AV Block", "2:1 AV Block") or t.startswith("Sinus Pause")]


def severe_table(refs, out):
    """Per source (CinC: per label) the windows and those stating a severe statement; the
    sinus windows and the CinC other-rhythm windows are the ones judged."""
    rows = {}
    for w, rec in zip(refs["windows"], out):
        key = w.get("source") or w["file"].split("_")[0]
        if key == "cinc2017":
            key += " " + w["rhythm"]
        r = rows.setdefault(key, {"windows": 0, "sinus": 0, "severe": []})
        r["windows"] += 1
        r["sinus"] += w["rhythm"] in ("(N", "N")
        if severe(rec["statements"]):
            r["severe"].append(w["file"])
    return rows


def statement_table(refs, out):
    """Lines of the rhythm-statement table: (source or CinC label, windows, counts)."""
    rows = {}
    for w, rec in zip(refs["windows"], out):
        texts = rec["statements"]
        key = w.get("source") or w["file"].split("_")[0]
        if key == "cinc2017":
            r = rows.setdefault("cinc2017 " + w["rhythm"], {"windows": 0, "AF": [], "not AF": []})
            r["windows"] += 1
            r["AF" if "Atrial Fibrillation" in texts else "not AF"].append(w["file"])
        else:
            r = rows.setdefault(key, {"windows": 0, "forbidden": [], "V windows": 0,
                                      "V without PVC": []})
            r["windows"] += 1
            if forbidden(texts):
                r["forbidden"].append(w["file"])
            if "V" in w.get("beat_types", []):
                r["V windows"] += 1
                if not any("PVC" in t for t in texts):
                    r["V without PVC"].append(w["file"])
    return rows


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    program = os.path.abspath(argv[1])
    rest = argv[2:]
    corpus = DEFAULT_CORPUS
    work = None
    args = "0 0 1 0 1 0"
    as_json = False
    i = 0
    while i < len(rest):
        if rest[i] == "--work":
            work = rest[i + 1]
            i += 2
        elif rest[i] == "--args":
            args = rest[i + 1]
            i += 2
        elif rest[i] == "--json":
            as_json = True
            i += 1
        else:
            corpus = rest[i]
            i += 1
    with open(os.path.join(corpus, "references.json")) as f:
        refs = json.load(f)
    work = work or tempfile.mkdtemp(prefix="realwin-")
    os.makedirs(work, exist_ok=True)
    totals = {}
    out = []
    for w in refs["windows"]:
        name = w["file"]
        src = os.path.join(corpus, "windows", name)
        dst = os.path.join(work, name)
        shutil.copyfile(src, dst)
        subprocess.run([program, name] + args.split(), cwd=work, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        beats, texts = read_result(os.path.splitext(dst)[0] + ".ksi")
        # the run's debug folder (some 13 MB) is not read here
        shutil.rmtree(os.path.splitext(dst)[0], ignore_errors=True)
        missed, extra = score(w["r_peaks"], beats)
        key = w.get("source") or name.split("_")[0]
        t = totals.setdefault(key, [0, 0, 0, 0])
        t[0] += len(w["r_peaks"])
        t[1] += len(w["r_peaks"]) - len(missed)
        t[2] += len(missed)
        t[3] += len(extra)
        rec = {"window": name, "rhythm": w["rhythm"], "beats": len(w["r_peaks"]),
               "found": len(w["r_peaks"]) - len(missed), "missed": missed,
               "extra": [list(e) for e in extra], "statements": texts}
        out.append(rec)
        if not as_json:
            print("%-20s %-3s beats %2d found %2d missed %d extra %d | %s" % (
                name, w["rhythm"], rec["beats"], rec["found"], len(missed), len(extra),
                "; ".join(texts)))
            if missed:
                print("%24s missed at %s" % ("", missed))
            if extra:
                print("%24s extra QRS %s" % ("", extra))
    table = statement_table(refs, out)
    worst = severe_table(refs, out)
    if as_json:
        json.dump({"windows": out, "totals": totals, "statements": table, "severe": worst},
                  sys.stdout, indent=1)
        print()
    else:
        print()
        for key, (n, found, missed, extra) in sorted(totals.items()):
            print("%-12s beats %3d found %3d missed %2d extra %2d" % (key, n, found, missed, extra))
        print()
        for key, r in sorted(table.items()):
            if "AF" in r:
                # the AF windows list the false ones, the other list the missed ones
                which = "not AF" if key.endswith(" A") else "AF"
                print("%-12s windows %3d AF %3d | %s: %s" % (key, r["windows"], len(r["AF"]), which,
                                                            " ".join(r[which])))
            else:
                print("%-12s windows %3d AF/flutter/SVT/SA Block %2d %s; V windows %2d without PVC"
                      " %2d %s" % (key, r["windows"], len(r["forbidden"]), " ".join(r["forbidden"]),
                                   r["V windows"], len(r["V without PVC"]),
                                   " ".join(r["V without PVC"])))
        print()
        print("severe statements: AF, flutter, SVT, ventricular rhythm or tachycardia, AV block II"
              " or III, 2:1 block, SA block, sinus pause, escape ventricular rhythm")
        for key, r in sorted(worst.items()):
            # sinus windows may state none (CinC normal: fibrillation counted above), CinC
            # other-rhythm windows at most one among them
            bound = ("at most 1" if key == "cinc2017 O" else
                     "none on %d sinus" % r["sinus"] if r["sinus"] else "not judged")
            print("%-12s windows %3d severe %2d (%s) %s" % (key, r["windows"], len(r["severe"]),
                                                           bound, " ".join(r["severe"])))
        for w, rec in zip(refs["windows"], out):
            if severe(rec["statements"]):
                print("%-20s %-3s %s" % (w["file"], w["rhythm"], "; ".join(severe(rec["statements"]))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
