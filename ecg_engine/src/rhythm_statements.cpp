// Rhythm statement selection: the findings become ordered statements in the chosen
// language, the overall class rises with each, and VentricularMark tells the driver and
// the report whether the rhythm is ventricular.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ecg_engine/rhythm_stage.h"
#include "ecg_engine/statement_tables.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

namespace {

// Entries of the rhythm table (numbering of the current engine's 72-row table).
enum ERhythmRow {
    RowSinusBradycardia = 2,
    RowNormalSinus = 3,
    RowSinusTachycardia = 4,
    RowSinusArrhythmia = 5,
    RowAtrialRhythm = 7,
    RowAtrialTachycardia = 8,
    RowAtrialFlutter = 9,
    RowAtrialFibrillation = 10,
    RowMultifocalAtrialTachycardia = 11,
    RowNonsustainedAtrialTachycardia = 12,
    RowWanderingPacemaker = 13,
    RowJunctionalRhythm = 15,
    RowSupraventricularTachycardia = 16,
    RowNonsustainedJunctionalTachycardia = 17,
    RowVentricularRhythm = 19,
    RowVentricularTachycardia = 20,
    RowVentricularFlutter = 21,
    RowSlowVentricularTachycardia = 22,
    RowNonsustainedVentricularTachycardia = 23,
    RowNonsustainedVentricularFlutter = 24,
    RowAvBlockI = 26,
    RowAvBlockIIType1 = 27,
    RowAvBlockIIType2 = 28,
    RowTwoToOneBlock = 29,
    RowCompleteBlock = 30,
    RowSinusPause = 31,
    RowPause = 32,
    RowSaBlock = 33,
    RowFlutterTwoToOne = 34,
    RowPac = 36,
    RowPjc = 37,
    RowPvc = 38,
    RowPacRun = 39,
    RowPjcRun = 40,
    RowPvcRun = 41,
    RowPacBigeminy = 42,
    RowPjcBigeminy = 43,
    RowPvcBigeminy = 44,
    RowPacTrigeminy = 45,
    RowPjcTrigeminy = 46,
    RowPvcTrigeminy = 47,
    RowEscapeAtrialBeat = 49,
    RowEscapeJunctionalBeat = 50,
    RowEscapeVentricularBeat = 51,
    RowEscapeAtrialRhythm = 52,
    RowEscapeJunctionalRhythm = 53,
    RowEscapeVentricularRhythm = 54,
    RowPossible = 56,
};

class CRhythmStatements {
public:
    explicit CRhythmStatements(CEngineData& d) : m_d(d) {
        for (auto& s : d.RhythmStatementSlots)
            s.fill('\0');
        d.Finish.EcgSeverity = 0;
        // Chinese rows are double-byte text; the others one byte a character.
        const int nLanguage = d.InterpretationContext.nLanguage;
        m_bDoubleByte = d.Variant == EEngineVariant::Zorvik31 &&
                        std::strcmp(StatementCodePage(nLanguage), "CP936") == 0;
    }

    // The text of a row; the older build's table has no "Pause" row.
    const char* Row(int nRow) const {
        if (m_d.Variant == EEngineVariant::Zorvik21 && nRow > RowPause)
            --nRow;
        const char* psz = m_d.RhythmStatementTable ? m_d.RhythmStatementTable[nRow] : nullptr;
        return psz ? psz : "";
    }

    void Emit(int nRow, int nLevel) { EmitText(Row(nRow), nLevel); }
    void EmitWithSuffix(int nRow, const char* pszSuffix, int nLevel) {
        EmitText(Format("%s(%s)", Row(nRow), pszSuffix), nLevel);
    }
    void EmitPossible(int nRow, int nLevel) {
        EmitText(Format("%s%s", Row(RowPossible), Row(nRow)), nLevel);
    }
    void EmitPossibleWithSuffix(int nRow, const char* pszSuffix, int nLevel) {
        EmitText(Format3("%s%s(%s)", Row(RowPossible), Row(nRow), pszSuffix), nLevel);
    }
    // A statement that leaves the class as it is.
    void EmitPossibleKeepingClass(int nRow) {
        EmitText(Format("%s%s", Row(RowPossible), Row(nRow)), 0);
    }

    int Count() const { return m_nCount; }

private:
    static std::string Format(const char* pszFormat, const char* a, const char* b) {
        char sz[2 * kStatementSize + 16];
        std::snprintf(sz, sizeof sz, pszFormat, a, b);
        return sz;
    }
    static std::string Format3(const char* pszFormat, const char* a, const char* b,
                               const char* c) {
        char sz[3 * kStatementSize + 16];
        std::snprintf(sz, sizeof sz, pszFormat, a, b, c);
        return sz;
    }

    // Slot 0 stays empty; texts are cut to the slot on whole characters.
    void EmitText(const std::string& strText, int nLevel) {
        if (m_nCount + 1 >= kStatementSlots)
            return;
        StatementText& slot = m_d.RhythmStatementSlots[++m_nCount];
        slot.fill('\0');
        const int nRoom = kStatementSize - 1;
        int n = 0;
        while (n < static_cast<int>(strText.size())) {
            const auto c = static_cast<unsigned char>(strText[n]);
            const int nChar = (m_bDoubleByte && c >= 0x81 && c <= 0xFE) ? 2 : 1;
            if (n + nChar > nRoom || n + nChar > static_cast<int>(strText.size()))
                break;
            n += nChar;
        }
        std::memcpy(slot.data(), strText.data(), static_cast<std::size_t>(n));
        m_d.RhythmStatementLevels[m_nCount] = nLevel;
        m_d.Finish.EcgSeverity = std::max(m_d.Finish.EcgSeverity, nLevel);
    }
    void EmitText(const char* psz, int nLevel) { EmitText(std::string(psz), nLevel); }

    CEngineData& m_d;
    int m_nCount = 0;
    bool m_bDoubleByte = false;
};

}  // namespace

int SelectRhythmStatements(CEngineData& d) {
    CRhythmStatements out(d);
    auto& r = d.Rhythm;
    const int HR = d.HeartRate;
    auto F = [&d](int n) { return Has(d, n); };

    bool bAf = false, bSinus = false, bAtrial = false, bJunctional = false,
         bVentricular = false, bEscape = false, bPvcMade = false, bEscapeBeatsAllowed = false;
    int nBlockLevel = 0;

    auto PacGroup = [&]() {
        const int nBefore = out.Count();
        const std::pair<int, int> a[] = {{162, 2}, {165, 3}, {171, 2}, {174, 2}};
        const int aRow[] = {RowPac, RowPacRun, RowPacBigeminy, RowPacTrigeminy};
        for (int k = 0; k < 4; ++k)
            if (F(a[k].first))
                out.Emit(aRow[k], a[k].second);
        return out.Count() > nBefore;
    };
    auto PjcGroup = [&]() {
        const std::pair<int, int> a[] = {{163, 2}, {166, 3}, {172, 2}, {175, 2}};
        const int aRow[] = {RowPjc, RowPjcRun, RowPjcBigeminy, RowPjcTrigeminy};
        for (int k = 0; k < 4; ++k)
            if (F(a[k].first))
                out.Emit(aRow[k], a[k].second);
    };
    auto PvcGroup = [&]() {
        const std::pair<int, int> a[] = {{164, 2}, {167, 4}, {173, 3}, {176, 3}};
        const int aRow[] = {RowPvc, RowPvcRun, RowPvcBigeminy, RowPvcTrigeminy};
        for (int k = 0; k < 4; ++k) {
            if (F(a[k].first)) {
                out.Emit(aRow[k], a[k].second);
                bPvcMade = true;
                r.VentricularMark = kVentricularMarkPvc;
            }
        }
    };

    if (F(125)) {
        out.Emit(RowAtrialFibrillation, 4);
        bAf = true;
    } else if (F(124)) {
        out.Emit(RowAtrialFlutter, 4);
        bAf = true;
    }

    if (bAf) {
        PvcGroup();
    } else {
        if (F(184)) {
            if (HR > 49)
                out.EmitWithSuffix(RowEscapeAtrialRhythm, "HR:50-54", 2);
            else
                out.EmitWithSuffix(RowEscapeAtrialRhythm, "HR<50", 3);
            bAtrial = bEscape = true;
        }
        if (F(185) && !F(162)) {
            out.Emit(RowEscapeJunctionalRhythm, 4);
            bJunctional = bEscape = true;
        }
        if (F(186)) {
            out.Emit(RowEscapeVentricularRhythm, 4);
            bVentricular = bEscape = true;
        }
        if (!F(186) && !bEscape) {
            if (F(111)) {
                if (F(119) && !F(152))
                    out.EmitWithSuffix(RowNormalSinus, out.Row(RowSinusArrhythmia), 1);
                else
                    out.Emit(RowNormalSinus, 1);
                bSinus = true;
            } else if (F(112)) {
                bEscapeBeatsAllowed = true;
                if (HR > 49)
                    out.EmitWithSuffix(RowSinusBradycardia, "HR:50-59", 2);
                else
                    out.EmitWithSuffix(RowSinusBradycardia, "HR<50", 3);
                bSinus = true;
            } else if (F(113)) {
                if (HR < 131)
                    out.EmitWithSuffix(RowSinusTachycardia, "HR:100-130", 2);
                else
                    out.EmitWithSuffix(RowSinusTachycardia, "HR>130", 3);
                bSinus = true;
            }
        }
        if (!bSinus) {
            const int nBefore = out.Count();
            if (F(121))
                out.Emit(RowAtrialRhythm, 2);
            else if (F(123) && HR < 131)
                out.EmitWithSuffix(RowAtrialTachycardia, "HR:100-130", 2);
            else if (F(123))
                out.EmitWithSuffix(RowAtrialTachycardia, "HR>130", 3);
            else if (F(126))
                out.Emit(RowMultifocalAtrialTachycardia, 4);
            else if (F(127))
                out.Emit(RowNonsustainedAtrialTachycardia, 3);
            else if (F(129))
                out.Emit(RowWanderingPacemaker, 2);
            bAtrial = bAtrial || out.Count() > nBefore;
            if (!F(162)) {
                const int nJunctionalBefore = out.Count();
                if (F(131))
                    out.Emit(RowJunctionalRhythm, 3);
                else if (F(133))
                    out.Emit(RowSupraventricularTachycardia, 4);
                else if (F(137))
                    out.Emit(RowNonsustainedJunctionalTachycardia, 3);
                bJunctional = bJunctional || out.Count() > nJunctionalBefore;
            }
        }
        if (!F(153)) {
            const std::pair<int, int> aVentricular[] = {
                {141, RowVentricularRhythm},
                {143, RowVentricularTachycardia},
                {144, RowVentricularFlutter},
                {146, RowSlowVentricularTachycardia},
                {147, RowNonsustainedVentricularTachycardia},
                {148, RowNonsustainedVentricularFlutter}};
            for (const auto& [nFinding, nRow] : aVentricular) {
                if (F(nFinding)) {
                    out.Emit(nRow, 4);
                    bVentricular = true;
                }
            }
        }
        if (bSinus || (!bAtrial && !bJunctional && !bVentricular)) {
            if (!PacGroup())
                PjcGroup();
            PvcGroup();
        } else if (bAtrial) {
            PjcGroup();
            PvcGroup();
        } else if (bJunctional) {
            PvcGroup();
        } else {
            r.VentricularMark = kVentricularMarkRhythm;
        }
    }

    // Conduction.
    // A complete block is stated beside the rhythm that escapes it.
    if ((bEscape || bVentricular || bJunctional) && F(155)) {
        out.Emit(RowCompleteBlock, 4);
        nBlockLevel = 3;
        bEscapeBeatsAllowed = true;
    }
    if (!bJunctional && !bVentricular && !bAf) {
        if (F(152) && !F(125) && nBlockLevel < 3 && !bPvcMade) {
            out.Emit(RowAvBlockIIType1, 3);
            nBlockLevel = 1;
        }
        if (F(153) && !F(125) && nBlockLevel < 3 && !bPvcMade) {
            out.Emit(RowAvBlockIIType2, 3);
            nBlockLevel = 2;
            bEscapeBeatsAllowed = true;
        }
        if (d.InterpretationContext.CriteriaSet == 2 && F(151) && !F(124) && !F(125) &&
            nBlockLevel == 0)
            out.Emit(RowAvBlockI, 2);
        if (F(154) && !F(125))
            out.Emit(RowTwoToOneBlock, 3);
        if (F(157)) {
            bEscapeBeatsAllowed = true;
            if (r.PauseLength <= 3000)
                out.EmitWithSuffix(RowSinusPause, "pause<=3.0sec", 2);
            else
                out.EmitWithSuffix(RowSinusPause, "pause>3.0sec", 3);
        }
        if (F(158))
            out.Emit(RowSaBlock, 3);
        if (F(159))
            out.EmitPossible(RowFlutterTwoToOne, 4);
    }
    if (bEscapeBeatsAllowed && !bAf) {
        if (F(181) && !F(184))
            out.Emit(RowEscapeAtrialBeat, 2);
        if (F(182) && !F(185))
            out.Emit(RowEscapeJunctionalBeat, 3);
        if (F(183) && !F(186)) {
            out.Emit(RowEscapeVentricularBeat, 3);
            r.VentricularMark = kVentricularMarkRhythm;
        }
    }
    if (out.Count() > 0)
        return out.Count();

    // Nothing found: name the rhythm of the longest regular stretch as possible.
    if (FindBeatRun(d, r.BeatTypeLists[TypeListSupraventricular], 6)) {
        if (HR < 50)
            out.EmitPossibleWithSuffix(RowSinusBradycardia, "HR<50", 3);
        else if (HR < 60)
            out.EmitPossibleWithSuffix(RowSinusBradycardia, "HR:50-59", 2);
        else if (HR < 100)
            out.EmitPossible(RowNormalSinus, 1);
        else if (HR < 131)
            out.EmitPossibleWithSuffix(RowSinusTachycardia, "HR:100-130", 2);
        else
            out.EmitPossibleWithSuffix(RowSinusTachycardia, "HR>130", 3);
        return out.Count();
    }
    if (FindBeatRun(d, r.BeatTypeLists[TypeListVentricular], 6)) {
        if (HR < 40)
            out.EmitPossibleKeepingClass(RowEscapeVentricularRhythm);
        else if (HR < 100)
            out.EmitPossible(RowVentricularRhythm, 4);
        else if (HR >= 250)
            return 0;
        else if (HR < 121)
            out.EmitPossible(RowSlowVentricularTachycardia, 4);
        else
            out.EmitPossible(RowVentricularTachycardia, 4);
        return out.Count();
    }
    return 0;
}

}  // namespace ecg_engine
