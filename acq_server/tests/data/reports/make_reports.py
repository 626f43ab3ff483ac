#!/usr/bin/env python3
"""Writes the expected text reports of the report tests, line by line from the report
formats, with Python's own printf; the values are the tests' tables (textreport_test.cpp)
and, for the server's spirometry reports through the real control, what the simulator
sends (tools/devsim/devsim.py). Run it again only when a format, a table or the simulator's
tests change."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
WRITE_TIME = "2026/12/10 09:30"


def save(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data.encode("latin-1"))


# ---- ECG -------------------------------------------------------------------------
def ekg(time, weight, sections, statements, dicom=False):
    pat, par, diag, hosp = sections
    t = time + " " * 12
    y, mo, d, h, mi = (time[0:4], time[4:6], time[6:8], time[8:10], time[10:12])
    s = "[Default Information]\r\n"
    s += "- Test Time      = %s/%s/%s %s:%s\r\n" % (y, mo, d, h, mi)
    s += "- Write Time     = %s\r\n" % WRITE_TIME
    s += "- Company        = %s\r\n" % "Corvane"
    s += "- S/W Ver.       = %s\r\n" % "V1.00"
    s += "- EKG FileName   = %s\r\n" % "/data/EKG/SIM001_20260304050607.EKG"
    s += "- JPEG FileName  = %s\r\n" % "/data/JPEG/SIM001_20260304050607_ekg.jpg"
    s += "- PDF FileName   = \r\n"
    s += "- DICOM FileName = \r\n"
    if pat:
        s += "\r\n\n[Patient Information]\r\n"
        s += "- ID             = %s\r\n" % "SIM001"
        s += "- Name           = %s\r\n" % "SIM PATIENT"
        s += "- Age            = %s\r\n" % "45"
        s += "- Sex            = %s\r\n" % "Male"
        if "L" in weight:
            inches = int(170 * 0.393701 + 0.5)
            s += "- Height         = %d ft  %d in\r\n" % (inches // 12, inches % 12)
            s += "- Weight         = %d lbs\r\n" % int(weight.replace("L", ""))
        else:
            s += "- Height         = %s cm\r\n" % "170"
            s += "- Weight         = %s kg\r\n" % weight
        s += "- History        = %s\r\n" % "Hypertension"
    if par:
        s += "\r\n\n[Parameter Information]\r\n"
        s += "- HR             = %d bpm\r\n" % 72
        s += "- PR int.        = %d ms\r\n" % 160
        s += "- QRS dur.       = %d ms\r\n" % 96
        s += "- QT/QTc         = %d/%d ms\r\n" % (380, 402)
        s += "- PRT axis       = %d %d %d \r\n" % (45, -30, 60)
    if diag:
        s += "\r\n\n[Diagnosis Information]\r\n"
        s += "%d\n" % len(statements)
        for st in statements:
            s += "%s\r\n" % st
    if hosp:
        s += "\r\n\n[Hospital Information]\r\n"
        s += "- Doctor         = %s\r\n" % "Dr. Lima"
        s += "- Hospital       = %s\r\n" % "Clinica Sol"
    s += "\r\n\nCompleteFlag   = 1"
    return s.replace("\n", "\r\n")  # a text-mode file


STATEMENTS = ["Normal Sinus Rhythm", "[ Normal ECG ]"]
save("ekg_all.txt", ekg("202603040506", "70", (1, 1, 1, 1), STATEMENTS))
save("ekg_none.txt", ekg("202603040506", "70", (0, 0, 0, 0), STATEMENTS))
save("ekg_imperial.txt", ekg("202603040506", "70L", (1, 1, 1, 1), []))
save("ekg_shorttime.txt", ekg("20260", "70", (0, 0, 0, 0), STATEMENTS))

# ---- spirometry --------------------------------------------------------------------
FVC = ["FVC                [L]     ", "FIVC               [L]     ", "FEV 1              [L]     ",
       "FEV 1/FVC          [%%]     ", "FEF 25-75%%        [LPS]    ", "FEF 200-1200ml    [LPS]    ",
       "FIF 50%%           [LPS]    ", "FEF 50%%/FIF 50%%    [ ]     ", "PEF               [LPS]    ",
       "PEF 100%%          [sec]    "]
FVL = ["FVC                [L]     ", "FIV 1              [L]     ", "FEV 1/FVC          [%%]     ",
       "FEV 200-1200ml    [LPS]    ", "FEF 25-75%%        [LPS]    ", "FEF 75-85%%        [LPS]    ",
       "PEF               [LPS]    ", "FEF 25%%           [LPS]    ", "FEF 50%%           [LPS]    ",
       "FEF 75%%           [LPS]    ", "FIVC               [L]     ", "FEV6               [L]     ",
       "PEFT              [sec]    ", "FET 100%%          [sec]    "]
SVC = ["SVC                [L]     ", "TV                 [L]     ", "ERV                [L]     ",
       "IRV                [L]     ", "EC                 [L]     "]
MVV = ["MVV                [L]     ", "FB                [BPM]    ", "TV                 [L]     "]
SIX = "%6s %6s %6s     %6s %6s %6s\r\n"
TWELVE = "%6s  %6s %6s  %6s %6s %6s  %6s %6s %6s %6s %6s %6s\r\n"
TWELVE_INFO = "%6s %6s %6s %6s %6s %6s %6s %6s %6s %6s %6s %6s\r\n"
FOUR = "%6s %6s %6s %6s\r\n"
ONE = "%6s\r\n"
FVC_HEADER = "                             Best   Pred  %Pred      Meas1  Meas2  Meas2\r\n"
PP_HEADER = ("                             Base   %Pred   Post   %Pred   %CHG   Pred   M(B1)  M(B2)  "
             "M(B3)  M(P1)  M(P2)  M(P3)\r\n")
PP_HEADER_INFO = ("                             Base   %Pred   Post   %Pred  %CHG   Pred   M(B1)  M(B2)  "
                  "M(B3)  M(P1)  M(P2)  M(P3)\r\n")
SVC_HEADER = "                             Best  Meas1  Meas2  Meas3\r\n"
# Error digits per trial (the tests' table): trial 1 and 5 have none.
ECODE = [[0, 1, 0], [-1, -1, -1], [1, 1, 0], [0, 0, 1], [1, 0, 0], [-1, 0, 0], [0, 0, 0], [1, 1, 1]]


def param(t, r, c):
    return (r * 7 + c * 3 + t) * 0.25 - 4.0


def rows(t, labels, n, values, cols):
    out = ""
    for r in range(n):
        out += (labels[r] + values) % tuple("%4.2f" % param(t, r, c) for c in range(cols))
    return out


def codes(a, b):
    e = lambda t, p: ECODE[t][p] if 0 <= t < 8 else -1
    return "%d%d%d %d%d%d" % (e(a, 0), e(a, 1), e(a, 2), e(b, 0), e(b, 1), e(b, 2))


def trial(t):
    return "   _" if ECODE[t][0] < 0 else "   _%d%d%d" % tuple(ECODE[t])


INFO = {0: "SIM001", 1: "SIM PATIENT", 2: "45", 3: "Male", 4: "170", 5: "70", 8: "10",
        10: "2026", 11: "3", 12: "4", 13: "5", 14: "6", 16: "Clinica Sol", 17: "Dr. Lima",
        18: "Quiet", 20: "Corvane", 22: "V1.00", 27: "0"}


def spiro(t, version, count, record, imperial=False, weight="70"):
    ext = {1: "fvc", 2: "svc", 3: "mvv", 4: "fvc", 5: "fvc"}.get(t, "fvc")
    s = "[Default Information]\r\n"
    s += "- Test Time      = 2026/03/04 05:06\r\n"
    s += "- Write Time     = %s\r\n" % WRITE_TIME
    s += "- Company        = Corvane\r\n"
    s += "- S/W Ver.       = V1.00\r\n"
    if 1 <= t <= 5:
        s += ("- SPIRO FileName = %s\n" if t == 3 else "- SPIRO FileName = %s\r\n") % record
    s += "- JPEG FileName  = /data/JPEG/x_%s.jpg\r\n" % ext
    s += "- PDF FileName   = /data/PDF/x_%s.pdf\r\n" % ext
    s += "- DICOM FileName = \r\n"
    s += "\r\n\n[Patient Information]\r\n"
    s += "- ID             = SIM001\r\n- Name           = SIM PATIENT\r\n"
    s += "- Age            = 45\r\n- Sex            = Male\r\n"
    if imperial:
        inches = int(170 * 0.393701 + 0.5)
        s += "- Height         = %d ft  %d in\r\n" % (inches // 12, inches % 12)
        s += "- Weight         = %d lbs\r\n" % int(weight.replace("L", ""))
    else:
        s += "- Height         = 170 cm\r\n- Weight         = %s kg\r\n" % weight
    s += "- Race           = Caucasian\r\n- Smoke          = Yes\r\n"
    s += "- Smoke year     = 10 year\r\n- Smoke pack     = One pack/day\r\n"
    s += "- Comment        = Quiet\r\n"
    if 1 <= t <= 5:
        s += "\r\n\n[Parameter Information]\r\n"
    if t == 1:
        s += "- Type           = FVC\r\n\n" + "\r\n\r\n" + FVC_HEADER + rows(1, FVC, 10, SIX, 6)
    elif t == 2:
        s += "- Type           = SVC\r\n\n" + SVC_HEADER + rows(2, SVC, 5, FOUR, 4)
    elif t == 3:
        s += "- Type           = MVV\r\n\n" + rows(3, MVV, 3, ONE, 1)
    elif t == 4:
        s += "- Type           = FVC\r\n\n" + FVC_HEADER
        s += rows(4, FVL, 14 if version >= 2 else count, SIX, 6)
        if version >= 2:
            s += "FVL Ecode                 %7s                  " % codes(3, 1 - 1)
            s += trial(0) + trial(1) + trial(2) + "\r\n"
    elif t == 5:
        s += "- Type           = FVC+\r\n\n" + PP_HEADER
        s += rows(5, FVL, 14 if version >= 2 else count, TWELVE, 12)
        if version >= 2:
            s += "FVL Ecode                 %7s        " % codes(7, 1 + 3)
            s += "%7s                       " % codes(3, 1 - 1)
            s += "".join(trial(x) for x in (4, 5, 6, 0, 1, 2)) + "\r\n"
    s += "\r\n\n[Diagnosis Information]\r\n"
    if t in (1, 4, 5):
        s += "- Formula        = Knudson\r\n"
    if t in (1, 4):
        s += "- Result         = Normal\r\n"
    elif t == 5:
        s += "- Result         = Normal/Mild obstruction\r\n"
    s += "\r\n\n[Hospital Information]\r\n- Doctor         = Dr. Lima\r\n- Hospital       = Clinica Sol\r\n"
    s += "\r\n\nCompleteFlag   = 1"
    return s


save("spiro_fvc.txt", spiro(1, 2, 10, "/data/SPIRO/x.FVC"))
save("spiro_svc.txt", spiro(2, 2, 5, "/data/SPIRO/x.svc"))
save("spiro_mvv.txt", spiro(3, 2, 3, "/data/SPIRO/x.mvv"))
save("spiro_fvl_v2.txt", spiro(4, 2, 14, "/data/SPIRO/x.fvc"))
save("spiro_fvl_v0.txt", spiro(4, 0, 6, "/data/SPIRO/x.fvc"))
save("spiro_prepost.txt", spiro(5, 2, 14, "/data/SPIRO/x.fvc"))
save("spiro_type0.txt", spiro(0, 2, 0, "/data/SPIRO/x.fvc"))
save("spiro_pounds.txt", spiro(2, 2, 5, "/data/SPIRO/x.svc", imperial=True, weight="150"))


def info(t, imperial=False, weight="70"):
    s = "[Information]\r\nId=SIM001\r\nName=SIM PATIENT\r\nAge=45\r\nSex=Male\r\n"
    if imperial:
        inches = int(170 * 0.393701 + 0.5)
        s += "Height=%d ft  %d in\r\nWeight=%d lbs\r\n" % (inches // 12, inches % 12, int(weight))
    else:
        s += "Height=170 cm\r\nWeight=%s kg\r\n" % weight
    s += "Race=Caucasian\r\nSmoke=Yes\r\nSmoke year=10 year\r\nSmoke pack=One pack/day\r\n"
    s += "Doctor=Dr. Lima\r\nHospital=Clinica Sol\r\nTest date=2026/03/04 05:06\r\nComment=Quiet\r\n"
    if t in (1, 4):
        s += "Diagnosis=Normal\r\n"
    elif t == 5:
        s += "Diagnosis=Normal/Mild obstruction\r\n"
    if t in (1, 4, 5):
        s += "FVC Prediction Formula=Knudson\r\n"
    if t == 1:
        s += "\r\n[Parameter - FVC]\r\n" + FVC_HEADER + rows(1, FVC, 10, SIX, 6)
    elif t == 4:
        s += "\r\n[Parameter - FVC]\r\n" + FVC_HEADER + rows(4, FVL, 10, SIX, 6)
    elif t == 5:
        s += "\r\n[Parameter - FVC Base]\r\n" + PP_HEADER_INFO + rows(5, FVL, 10, TWELVE_INFO, 12)
    elif t == 2:
        s += "\r\n[Parameter - SVC]\r\n" + SVC_HEADER + rows(2, SVC, 5, FOUR, 4)
    elif t == 3:
        s += "\r\n[Parameter - MVV]\r\n" + rows(3, MVV, 3, ONE, 1)
    return s


for t in range(1, 6):
    save("info_%d.txt" % t, info(t))
save("info_pounds.txt", info(1, imperial=True, weight="150"))


# ---- the server's spirometry report with the stand-in control's scripted answers -----------
# (qarserver_e2e_test.cpp: every parameter 1.25, error digits 0; @...@ filled by the test)
def server_spiro(t):
    s = "[Default Information]\r\n"
    s += "- Test Time      = 2026/03/04 05:06\r\n"
    s += "- Write Time     = @WRITE@\r\n"
    s += "- Company        = Corvane Co., Ltd.\r\n"
    s += "- S/W Ver.       = RovEzez Ver 1.16(20160504)\r\n"
    s += ("- SPIRO FileName = %s\n" if t == 3 else "- SPIRO FileName = %s\r\n") % "@REC@"
    s += "- JPEG FileName  = @JPG@\r\n- PDF FileName   = @PDF@\r\n- DICOM FileName = \r\n"
    s += "\r\n\n[Patient Information]\r\n- ID             = SIM001\r\n- Name           = SIM PATIENT\r\n"
    s += "- Age            = 45\r\n- Sex            = F\r\n"
    inches = int(170 * 0.393701 + 0.5)
    s += "- Height         = %d ft  %d in\r\n- Weight         = %d lbs\r\n" % (inches // 12, inches % 12, 150)
    s += "- Race           = Caucasian\r\n- Smoke          = No\r\n- Smoke year     = 0 year\r\n"
    s += "- Smoke pack     = \r\n- Comment        = \r\n"
    s += "\r\n\n[Parameter Information]\r\n"
    cell = "%4.2f" % 1.25
    if t == 1:
        s += "- Type           = FVC\r\n\n" + "\r\n\r\n" + FVC_HEADER
        s += "".join((lab + SIX) % ((cell,) * 6) for lab in FVC)
    elif t == 3:
        s += "- Type           = MVV\r\n\n" + "".join((lab + ONE) % (cell,) for lab in MVV)
    s += "\r\n\n[Diagnosis Information]\r\n"
    if t == 1:
        s += "- Formula        = Knudson\r\n- Result         = Normal\r\n"
    s += "\r\n\n[Hospital Information]\r\n- Doctor         = DR SIM\r\n- Hospital       = CLINIC\r\n"
    s += "\r\n\nCompleteFlag   = 1"
    return s


save("server_fvc.txt", server_spiro(1))
save("server_mvv.txt", server_spiro(3))


# ---- the server's spirometry report of the simulator's tests through the real control ------
# Frame-mode tests only: a legacy test is stored but never converted. The values are what
# tools/devsim/devsim.py puts in its frames (its defaults, seed 1);
# how the control hands them back follows the record's own rules: texts as sent, the race,
# smoking, interpretation and formula names by their code tables, values as 32-bit floats,
# the type-5 display columns taken from the stored ones. @...@ are filled by the test.
def load_simulator():
    import importlib.util
    path = os.path.join(HERE, "..", "..", "..", "..", "tools", "devsim", "devsim.py")
    found = importlib.util.spec_from_file_location("devsim", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


RACE = {"B": "Black", "C": "Caucasian", "O": "Oriental"}
SMOKE = {"N": "No", "Y": "Yes"}
SMOKE_PACK = {"Q": "Quarter pack/day", "H": "Half pack/day", "O": "One pack/day", "T": "Two pack/day",
              "M": "More two pack/day"}
ANALYSIS = {"NOR": "Normal", "BOO": "Borderline Obstruction", "MIO": "Mild Obstruction",
            "MOO": "Moderate Obstruction", "SEO": "Severe Obstruction", "MIR": "Mild Restriction",
            "MOR": "Moderate Restriction", "SER": "Severe Restriction", "VSO": "Very Severe Obstructive",
            "O_R": "Obstructive + Restriction", "BLK": "N/A"}
FORMULA = {0: "Morris/Polgar", 1: "Morris/Polgar", 2: "Knudson/ITS", 3: "ECCS/Quanjer", 4: "Korean(CJK)",
           5: "Pereira"}
# Display column of a before/after test -> the stored column (base 6-11, post 0-5).
PREPOST_COLUMN = [6, 7, 0, 2, 11, 1, 8, 9, 10, 3, 4, 5]


def server_device_spiro(sim, script, args):
    kind, frames = sim.SPIRO_SCRIPTS[script]
    assert frames
    options = dict(option=1, long_reply=False, seed=1, format="2", formula=3, date="20260304050607",
                   id="SIM001", name="SIM PATIENT", fvc_type=1)
    options.update(args)
    test = sim.SpiroTest(type("Args", (), options), kind, frames)
    t, i = test.type, test.info
    cell = lambda v: "%4.2f" % sim.f32(v)

    def param(r, c):
        if t == 2:
            return cell(test.svc[r][c])
        if t == 3:
            return cell(test.mvv[r])
        return cell(test.fvc[r][PREPOST_COLUMN[c] if t == 5 else c])

    def table(labels, n, values, cols):
        return "".join((labels[r] + values) % tuple(param(r, c) for c in range(cols)) for r in range(n))

    # Error digits of trials 0-3 (the base fields) and 4-7 (the post fields); none sent: -1.
    sent = test.ecode if t == 5 else test.ecode[:4]
    digit = lambda tr, p: int(sent[tr][p]) if tr < len(sent) else -1
    codes = lambda a, b: "%d%d%d %d%d%d" % tuple(digit(x, p) for x in (a, b) for p in range(3))
    trial = lambda tr: "   _" if digit(tr, 0) < 0 else "   _%d%d%d" % tuple(digit(tr, p) for p in range(3))
    formula = FORMULA[test.formula]  # types 4 and 5: the index the frame carries

    s = "[Default Information]\r\n"
    s += "- Test Time      = %s/%s/%s %s:%s\r\n" % (i[10], i[11], i[12], i[13], i[14])
    s += "- Write Time     = @WRITE@\r\n"
    s += "- Company        = Corvane Co., Ltd.\r\n"
    s += "- S/W Ver.       = RovEzez Ver 1.16(20160504)\r\n"
    s += ("- SPIRO FileName = %s\n" if t == 3 else "- SPIRO FileName = %s\r\n") % "@REC@"
    s += "- JPEG FileName  = @JPG@\r\n- PDF FileName   = @PDF@\r\n- DICOM FileName = \r\n"
    s += "\r\n\n[Patient Information]\r\n"
    s += "- ID             = %s\r\n- Name           = %s\r\n" % (i[0], i[1])
    s += "- Age            = %s\r\n- Sex            = %s\r\n" % (i[2], i[3])
    s += "- Height         = %s cm\r\n- Weight         = %s kg\r\n" % (i[4], i[5])
    s += "- Race           = %s\r\n- Smoke          = %s\r\n" % (RACE[i[6]], SMOKE[i[7]])
    s += "- Smoke year     = %s year\r\n- Smoke pack     = %s\r\n" % (i[8], SMOKE_PACK[i[9]])
    s += "- Comment        = \r\n"
    s += "\r\n\n[Parameter Information]\r\n"
    if t == 2:
        s += "- Type           = SVC\r\n\n" + SVC_HEADER + table(SVC, 5, FOUR, 4)
    elif t == 3:
        s += "- Type           = MVV\r\n\n" + table(MVV, 3, ONE, 1)
    elif t == 4:
        # Frame tests are of file version 2: rows 10-13 and the error codes follow.
        s += "- Type           = FVC\r\n\n" + FVC_HEADER + table(FVL, 14, SIX, 6)
        s += "FVL Ecode                 %7s                  " % codes(3, test.best - 1)
        s += "".join(trial(x) for x in (0, 1, 2)) + "\r\n"
    elif t == 5:
        s += "- Type           = FVC+\r\n\n" + PP_HEADER + table(FVL, 14, TWELVE, 12)
        s += "FVL Ecode                 %7s        " % codes(7, test.post_best + 3)
        s += "%7s                       " % codes(3, test.best - 1)
        s += "".join(trial(x) for x in (4, 5, 6, 0, 1, 2)) + "\r\n"
    s += "\r\n\n[Diagnosis Information]\r\n"
    if t in (4, 5):
        s += "- Formula        = %s\r\n" % formula
    if t == 4:
        s += "- Result         = %s\r\n" % ANALYSIS[test.code]
    elif t == 5:
        s += "- Result         = %s/%s\r\n" % (ANALYSIS[test.code], ANALYSIS[test.post_code])
    s += "\r\n\n[Hospital Information]\r\n- Doctor         = %s\r\n- Hospital       = %s\r\n" % (i[17], i[16])
    s += "\r\n\nCompleteFlag   = 1"
    return s


SIMULATOR = load_simulator()
# (qarserver_e2e_test.cpp sends each with its own ID, so that the four tests get four files)
for script, args, name in [("frame-svc", {"id": "S2"}, "device_svc.txt"),
                           ("frame-mvv", {"id": "M3"}, "device_mvv.txt"),
                           ("frame-fvc", {"id": "F4"}, "device_fvl.txt"),
                           ("frame-fvc-post", {"id": "F5"}, "device_prepost.txt")]:
    save(name, server_device_spiro(SIMULATOR, script, args))
