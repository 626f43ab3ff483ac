// Waveform statement selection: findings to statement texts in the chosen language, in the
// order and with the suppressions and low-voltage caveats of the interpretation.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ecg_engine/statement_tables.h"
#include "morphology_internal.h"

namespace ecg_engine {

using namespace morphology;

namespace {

enum EWaveformRow {
    RowBiatrial = 2,
    RowRae = 3,
    RowLae = 4,
    RowBiventricular = 6,
    RowRvh = 7,
    RowLvh = 8,
    RowProbableRvh = 9,
    RowNormalAxis = 11,
    RowRightAxis = 12,
    RowLeftAxis = 13,
    RowNorthwestAxis = 14,
    RowLowVoltageLimb = 15,
    RowLowVoltageChest = 16,
    RowLowVoltageQrs = 17,
    RowRbbbLpfb = 19,
    RowRbbbLafb = 20,
    RowCrbbb = 21,
    RowIcrbbb = 22,
    RowLbbb = 23,
    RowNivcd = 24,
    RowWpw = 25,
    RowPossibleAnteroseptalMi = 27,
    RowAnteroseptalMi = 28,
    RowAnteriorMi = 29,
    RowHighLateralMi = 30,
    RowLateralMi = 31,
    RowAnterolateralMi = 32,
    RowInferiorMi = 33,
    RowPosteriorMi = 34,
    RowStDepression = 36,
    RowStElevation = 37,
    RowTInversion = 39,
    RowProlongedQt = 46,
    RowCaveatAxisAndMi = 48,
    RowCaveatAxis = 49,
    RowCaveatMi = 50,
    RowAnteriorExtensiveMi = 51,
};

// Name rows of the regions, in region order.
constexpr int kRegionRow[kRegions] = {41, 42, 43, 44, 40};

// Languages with a slot layout of their own.
constexpr int kLanguageChinese = 2, kLanguageRussian = 5;

class CWaveformStatements {
public:
    explicit CWaveformStatements(CEngineData& d) : m_d(d) {
        for (auto& s : d.WaveformStatementSlots)
            s.fill('\0');
        for (auto& s : d.Morphology.RegionWorkText)
            s.fill('\0');
        m_nLanguage = d.Variant == EEngineVariant::Zorvik31 ? d.InterpretationContext.nLanguage : 0;
        if (m_nLanguage < 0 || m_nLanguage >= kStatementLanguages)
            m_nLanguage = 0;
        // Chinese rows are double-byte text; the others one byte a character.
        m_bDoubleByte = std::strcmp(StatementCodePage(m_nLanguage), "CP936") == 0;
    }

    int Language() const { return m_nLanguage; }

    const char* Row(int nRow) const {
        const char* psz = m_d.WaveformStatementTable ? m_d.WaveformStatementTable[nRow] : nullptr;
        return psz ? psz : "";
    }
    static const char* EnglishRow(int nRow) { return WaveformStatementRows(0)[nRow]; }

    // Slots left (slot 0 stays empty; statements past slot 19 are dropped).
    int Room() const { return kStatementSlots - 1 - m_nCount; }

    void Emit(int nRow, int nClass) { EmitText(Row(nRow), nClass); }
    void EmitText(const char* pszText, int nClass) {
        if (Room() < 1)
            return;
        CopyCut(m_d.WaveformStatementSlots[++m_nCount], pszText);
        m_d.WaveformStatementLevels[m_nCount] = nClass;
        Raise(nClass);
    }
    void Raise(int nClass) { m_d.Finish.EcgSeverity = std::max(m_d.Finish.EcgSeverity, nClass); }

    // Bounded copy cut at a whole character.
    template <std::size_t N>
    void CopyCut(std::array<char, N>& dst, const char* pszText) const {
        dst.fill('\0');
        std::memcpy(dst.data(), pszText, WholeCharacters(pszText, N - 1));
    }
    // Appends to a work text, cut at a whole character.
    template <std::size_t N>
    void Append(std::array<char, N>& dst, const char* pszText) const {
        const std::size_t nUsed = strnlen(dst.data(), N - 1);
        std::memcpy(dst.data() + nUsed, pszText, WholeCharacters(pszText, N - 1 - nUsed));
        dst[nUsed + WholeCharacters(pszText, N - 1 - nUsed)] = '\0';
    }

    int Count() const { return m_nCount; }

private:
    // Bytes of the longest run of whole characters of pszText within nRoom bytes.
    std::size_t WholeCharacters(const char* pszText, std::size_t nRoom) const {
        std::size_t n = 0;
        while (pszText[n]) {
            const auto c = static_cast<unsigned char>(pszText[n]);
            const std::size_t nChar = (m_bDoubleByte && c >= 0x81 && c <= 0xFE) ? 2 : 1;
            if (n + nChar > nRoom || (nChar == 2 && !pszText[n + 1]))
                break;
            n += nChar;
        }
        return n;
    }

    CEngineData& m_d;
    int m_nCount = 0;
    int m_nLanguage = 0;
    bool m_bDoubleByte = false;
};

std::string Format(const char* pszFormat, const char* a) {
    char sz[2 * kStatementSize + 16];
    std::snprintf(sz, sizeof sz, pszFormat, a);
    return sz;
}
std::string Format(const char* pszFormat, const char* a, const char* b) {
    char sz[2 * kStatementSize + 16];
    std::snprintf(sz, sizeof sz, pszFormat, a, b);
    return sz;
}

}  // namespace

int SelectWaveformStatements(CEngineData& d) {
    CWaveformStatements out(d);
    const auto& f = Findings(d);
    bool bAxisCaveat = false, bMiCaveat = false, bBlockStated = false, bLbbbStated = false,
         bWpwStated = false;

    if (f.LowVoltageQrs) {
        out.Emit(RowLowVoltageQrs, 3);
        bAxisCaveat = bMiCaveat = true;
    }
    if (f.LowVoltageLimb) {
        out.Emit(RowLowVoltageLimb, 2);
        bAxisCaveat = true;
    } else if (f.LowVoltageChest) {
        out.Emit(RowLowVoltageChest, 3);
        bMiCaveat = true;
    }

    if (f.AxisNormal)
        out.Emit(RowNormalAxis, 1);
    else if (f.AxisRight)
        out.Emit(RowRightAxis, 2);
    else if (f.AxisLeft)
        out.Emit(RowLeftAxis, 2);
    else if (f.AxisNorthwest)
        out.Emit(RowNorthwestAxis, 3);

    if (f.Preexcitation) {
        out.Emit(RowWpw, 3);
        bWpwStated = true;
    } else {
        const struct {
            std::int32_t nFinding;
            int nRow, nClass;
        } aBlock[] = {{f.BifascicularRbbbLpfb, RowRbbbLpfb, 3},
                      {f.BifascicularRbbbLafb, RowRbbbLafb, 3},
                      {f.CompleteRbbb, RowCrbbb, 2},
                      {f.IncompleteRbbb, RowIcrbbb, 1},
                      {f.Lbbb, RowLbbb, 3},
                      {f.Nivcd, RowNivcd, 2}};
        for (const auto& b : aBlock) {
            if (!b.nFinding)
                continue;
            out.Emit(b.nRow, b.nClass);
            bBlockStated = true;
            bLbbbStated = bLbbbStated || b.nRow == RowLbbb;
        }
    }

    if (f.BiatrialEnlargement)
        out.Emit(RowBiatrial, 4);
    if (f.RightAtrialEnlargement)
        out.Emit(RowRae, 3);
    if (f.LeftAtrialEnlargement)
        out.Emit(RowLae, 3);

    if (!bLbbbStated) {
        if (!bWpwStated) {
            if (f.BiventricularHypertrophy)
                out.Emit(RowBiventricular, 4);
            if (f.RightVentricularHypertrophy)
                out.Emit(RowRvh, 3);
            if (f.LeftVentricularHypertrophy)
                out.Emit(RowLvh, 3);
            if (f.ProbableRvh)
                out.Emit(RowProbableRvh, 2);
        }
        if (f.PossibleAnteroseptalMi)
            out.Emit(RowPossibleAnteroseptalMi, 4);
        if (f.AnteroseptalMi)
            out.Emit(RowAnteroseptalMi, 4);
        if (f.AnteriorMi)
            out.Emit(RowAnteriorMi, 4);
    }

    // "Anterior extensive MI" has no translation: English in every language.
    if (f.AnteriorExtensiveMi)
        out.EmitText(CWaveformStatements::EnglishRow(RowAnteriorExtensiveMi), 4);
    if (f.HighLateralMi)
        out.Emit(RowHighLateralMi, 4);
    if (f.LateralMi)
        out.Emit(RowLateralMi, 4);
    if (f.AnterolateralMi)
        out.Emit(RowAnterolateralMi, 4);
    if (f.InferiorMi)
        out.Emit(RowInferiorMi, 4);

    if (!bBlockStated) {
        if (f.PosteriorMi)
            out.Emit(RowPosteriorMi, 4);
        if (!bWpwStated) {
            const struct {
                const SRegionFindings& g;
                int nRow, nClass;
            } aGroup[] = {{f.StDepression, RowStDepression, 3},
                          {f.StElevation, RowStElevation, 4},
                          {f.TInversion, RowTInversion, 3}};
            const int nLanguage = out.Language();
            for (int k = 0; k < 3; ++k) {
                const auto& grp = aGroup[k];
                const char* pszHeader = out.Row(grp.nRow);
                auto& work = d.Morphology.RegionWorkText[k];
                if (grp.g.RegionCount < 2) {
                    for (int r = 0; r < kRegions; ++r) {
                        if (!grp.g.Region[r])
                            continue;
                        out.CopyCut(work, out.Row(kRegionRow[r]));
                        if (nLanguage == kLanguageRussian) {
                            if (out.Room() >= 2) {
                                out.EmitText(pszHeader, grp.nClass);
                                out.EmitText(Format("  (%s)", work.data()).c_str(), grp.nClass);
                            }
                        } else {
                            out.EmitText(Format("%s(%s)", pszHeader, work.data()).c_str(),
                                         grp.nClass);
                        }
                    }
                } else {
                    int nCountdown = grp.g.RegionCount;
                    for (int r = 0; r < kRegions; ++r) {
                        if (!grp.g.Region[r])
                            continue;
                        out.Append(work, out.Row(kRegionRow[r]));
                        if (nCountdown > 1) {
                            out.Append(work, ",");
                            --nCountdown;
                        }
                    }
                    if (nLanguage == kLanguageChinese) {
                        out.EmitText(Format("%s(%s)", pszHeader, work.data()).c_str(), grp.nClass);
                    } else if (out.Room() >= 2) {
                        out.EmitText(pszHeader, grp.nClass);
                        out.EmitText(Format("  (%s)", work.data()).c_str(), grp.nClass);
                    }
                }
                work.fill('\0');
            }
        }
    }

    if (f.ProlongedQt)
        out.Emit(RowProlongedQt, 3);

    // The caveats have no translation either; they change no class.
    if (bAxisCaveat && bMiCaveat)
        out.EmitText(CWaveformStatements::EnglishRow(RowCaveatAxisAndMi), 0);
    else if (bAxisCaveat)
        out.EmitText(CWaveformStatements::EnglishRow(RowCaveatAxis), 0);
    else if (bMiCaveat)
        out.EmitText(CWaveformStatements::EnglishRow(RowCaveatMi), 0);
    return out.Count();
}

}  // namespace ecg_engine
