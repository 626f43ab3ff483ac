#include "ecg_engine/debug_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace ecg_engine {

namespace {

template <typename T>
std::int32_t* AppendRow(CEngineData& d, const char* pszPrefix, const char* pszName,
                        const T* pSource, int nCount) {
    auto& rows = d.DebugDumpRows;
    if (rows.RowCount() >= kMaxDebugRows)
        return nullptr;
    std::unique_ptr<std::int32_t[]> pRow(new (std::nothrow) std::int32_t[kInputSamples]());
    if (!pRow)
        return nullptr;
    nCount = std::clamp(nCount, 0, kInputSamples);
    for (int i = 0; i < nCount; ++i)
        pRow[i] = pSource[i];
    rows.aNames.push_back(std::string(pszPrefix) + pszName);
    rows.aRows.push_back(std::move(pRow));
    return rows.aRows.back().get();
}

// Opens a debug file for writing, or reports why not; nullptr then.
std::FILE* OpenDebugFile(const CEngineData& d, const char* pszName, const char* pszError) {
    const std::string strPath = std::string(d.DebugFolderPrefix.data()) + pszName;
    std::FILE* pFile = std::fopen(strPath.c_str(), "w");
    if (!pFile) {
        std::fputs(pszError, stdout);
        std::fflush(stdout);
        return nullptr;
    }
    // The data file runs to megabytes: write it in large blocks.
    std::setvbuf(pFile, nullptr, _IOFBF, 1 << 20);
    return pFile;
}

int CloseDebugFile(std::FILE* pFile) {
    return std::fclose(pFile) == 0 ? 0 : -1;
}

void Rule(std::FILE* f, int nWidth = 105) {
    for (int i = 0; i < nWidth; ++i)
        std::fputc('-', f);
    std::fputc('\n', f);
}

void LeadHeaderRow(std::FILE* f) {
    std::fputs("    |", f);
    for (const char* pszLabel : kLeadLabels)
        std::fprintf(f, "%7s ", pszLabel);
    std::fputc('\n', f);
}

const char* QualityWord(int nQuality) {
    switch (nQuality) {
        case 0:
            return "GOOD QUALITY";
        case 1:
            return "POOR QUALITY";
        case 2:
            return "LOOSED LEAD";
        case 3:
            return "FAULTED LEAD";
        case 4:
            return "NO SIGNAL";
        default:
            return "UNDEFINED";
    }
}

const char* ShortQualityWord(int nQuality) {
    switch (nQuality) {
        case 0:
            return "GOOD";
        case 1:
            return "POOR";
        case 2:
            return "LOOS";
        case 3:
            return "FAULT";
        case 4:
            return "NOSIG";
        default:
            return "UNDEF";
    }
}

// Counted lists hold beats 1..count; beats beyond the table read 0.
int BeatValue(const BeatTable& t, int nBeat) {
    return nBeat >= 0 && nBeat < kMaxBeats ? t[nBeat] : 0;
}

int ClampBeats(int n) {
    return std::clamp(n, 0, kMaxBeats - 1);
}

// "%15d " without the cost of a formatted print per value.
char* FormatColumn(char* p, std::int32_t nValue) {
    char aDigits[12];
    int nDigits = 0;
    std::uint32_t u =
        nValue < 0 ? 0u - static_cast<std::uint32_t>(nValue) : static_cast<std::uint32_t>(nValue);
    do {
        aDigits[nDigits++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    if (nValue < 0)
        aDigits[nDigits++] = '-';
    for (int i = nDigits; i < 15; ++i)
        *p++ = ' ';
    while (nDigits)
        *p++ = aDigits[--nDigits];
    *p++ = ' ';
    return p;
}

}  // namespace

std::int32_t* AppendDebugRow(CEngineData& d, const char* pszPrefix, const char* pszName,
                             const std::int16_t* pSource, int nCount) {
    return AppendRow(d, pszPrefix, pszName, pSource, nCount);
}

std::int32_t* AppendDebugRow(CEngineData& d, const char* pszPrefix, const char* pszName,
                             const std::int32_t* pSource, int nCount) {
    return AppendRow(d, pszPrefix, pszName, pSource, nCount);
}

void MarkDebugRow(std::int32_t* pRow, const std::int32_t* pPositions, int nPositions, int nHeight,
                  int nSign) {
    if (!pRow)
        return;
    for (int i = 0; i < nPositions; ++i) {
        const int p = pPositions[i];
        if (p <= 0 || p + 1 >= kInputSamples)
            continue;
        pRow[p - 1] += nSign * nHeight;
        pRow[p + 1] -= nSign * nHeight;
    }
}

int DumpRawLeads(CEngineData& d) {
    for (int r = 0; r < kIndependentLeads; ++r) {
        AppendDebugRow(d, "dspBuf_", kLeadNames[kInputRowLead[r]], d.InputLeads[r].data(),
                       kInputSamples);
    }
    return 0;
}

int DumpFilteredLeads(CEngineData& d) {
    for (int r = 0; r < kIndependentLeads; ++r) {
        AppendDebugRow(d, "Dc_", kLeadNames[kInputRowLead[r]], d.InputLeads[r].data(),
                       kInputSamples);
    }
    return 0;
}

int DumpDetection(CEngineData& d) {
    const auto& q = d.Detection.IOQm;
    const int nBeats = std::clamp(q.qrs_num, 0, kMaxBeats);
    for (int r = 0; r < kIndependentLeads; ++r) {
        std::int32_t* pRow = AppendDebugRow(d, "Wbi_", kLeadNames[kInputRowLead[r]],
                                            d.InputLeads[r].data(), kInputSamples);
        MarkDebugRow(pRow, q.qrs_onset.data(), nBeats, 128, +1);
        MarkDebugRow(pRow, q.qrs_offset.data(), nBeats, 128, -1);
    }
    return 0;
}

// The signals behind these rows belong to their stages, which append them when they land.
int DumpQrsRecognition(CEngineData&) {
    return 0;
}
int DumpTOffset(CEngineData&) {
    return 0;
}
int DumpPWave(CEngineData&) {
    return 0;
}

int WriteDebugDataFile(CEngineData& d) {
    std::FILE* f =
        OpenDebugFile(d, "Debug_Debug_Save.dat", "[ERROR] Debug information file creation fail.\n");
    if (!f)
        return -1;
    const auto& rows = d.DebugDumpRows;
    const int nRows = rows.RowCount();
    for (const auto& strName : rows.aNames)
        std::fprintf(f, "%15s ", strName.c_str());
    std::fputc('\n', f);
    std::string line(static_cast<std::size_t>(nRows) * 16 + 1, ' ');
    for (int i = 0; i < kInputSamples; ++i) {
        char* p = line.data();
        for (int r = 0; r < nRows; ++r)
            p = FormatColumn(p, rows.aRows[r][i]);
        *p++ = '\n';
        std::fwrite(line.data(), 1, static_cast<std::size_t>(p - line.data()), f);
    }
    return CloseDebugFile(f);
}

int WriteSignalQualityLog(CEngineData& d) {
    std::FILE* f = OpenDebugFile(d, "Debug_Ecg_Event_Qm.log",
                                 "[ERROR] QRS complex recognition log file creation fail.\n");
    if (!f)
        return -1;
    const auto& t = d.Detection;
    std::fputs("[Signal Quality Result]\n", f);
    Rule(f);
    std::fprintf(f, "Lead | %20s %20s %20s", "Max Power", "Symbolic Power", "Signal Quality");
    std::fputc('\n', f);
    Rule(f);
    for (int r = 0; r < kIndependentLeads; ++r) {
        std::fprintf(f, "%4s | %20d %20d %20s\n", kLeadLabels[kInputRowLead[r]], t.MaxPower[r],
                     t.SymbolicPower[r], QualityWord(t.LeadQuality[r]));
    }
    Rule(f);
    return CloseDebugFile(f);
}

const char* QrsTypeText(int nType) {
    switch (nType) {
        case 0x08:
            return "R";
        case 0x0C:
            return "RS";
        case 0x0E:
            return "RSR'";
        case 0x0F:
            return "RSR'S'";
        case 0x10:
            return "QS";
        case 0x18:
            return "QR";
        case 0x1C:
            return "QRS";
        case 0x1E:
            return "QRSR'";
        case 0x1F:
            return "QRSR'S'";
        case 0x88:
            return "Rn";
        case 0x8C:
            return "RnS";
        case 0x98:
            return "QRn";
        case 0x9C:
            return "QRnS";
        default:
            return "????";
    }
}

int WriteQrsRecognitionLog(CEngineData& d) {
    std::FILE* f = OpenDebugFile(d, "Debug_Ecg_Event_Qrs.log",
                                 "[ERROR] QRS complex recognition log file creation fail.\n");
    if (!f)
        return -1;
    const auto& q = d.Qrs;
    int nBeats = 0;
    for (int n : q.LeadBeatList.nCount)
        nBeats = std::max(nBeats, n);
    nBeats = std::min(nBeats, kMaxBeats);

    // Beat b of a lead is entry b - 1 of its tables.
    auto Section = [&](const char* pszTitle, auto Cell) {
        std::fputs(pszTitle, f);
        Rule(f);
        LeadHeaderRow(f);
        Rule(f);
        for (int b = 1; b <= nBeats; ++b) {
            std::fprintf(f, "%3d |", b);
            for (int l = 0; l < kLeads; ++l)
                Cell(l, b - 1);
            std::fputc('\n', f);
        }
        std::fputc('\n', f);
    };
    Section("[QRS Complex Type check result]\n",
            [&](int l, int j) { std::fprintf(f, "%7s ", QrsTypeText(q.QrsComplexType[l][j])); });
    Section("[QRS Complex Onset position]\n",
            [&](int l, int j) { std::fprintf(f, "%7d ", q.LeadBeatList.onset[l][j]); });
    Section("[QRS Complex Offset position]\n",
            [&](int l, int j) { std::fprintf(f, "%7d ", q.LeadBeatList.offset[l][j]); });

    static const char* const s_aColumns[] = {
        "Qon",  "Qpos", "Qamp", "Qoff",  "Ron",   "Rpos",  "Ramp", "Roff",  "Son",   "Spos",
        "Samp", "Soff", "R'on", "R'pos", "R'amp", "R'off", "S'on", "S'pos", "S'amp", "S'off"};
    for (int l = 0; l < kLeads; ++l) {
        const int nQuality = d.Detection.LeadQuality12[l];
        if (nQuality != 0 && nQuality != 1)
            continue;
        std::fprintf(f, "[ Lead %3s QRS Complex Recognition result]\n", kLeadLabels[l]);
        Rule(f, 135);
        std::fputs("    |", f);
        for (int w = 0; w < kQrsWaves; ++w) {
            if (w)
                std::fputs(" | ", f);
            std::fprintf(f, "%5s %5s %5s %5s", s_aColumns[4 * w], s_aColumns[4 * w + 1],
                         s_aColumns[4 * w + 2], s_aColumns[4 * w + 3]);
        }
        std::fputc('\n', f);
        Rule(f, 135);
        for (int b = 1; b <= nBeats; ++b) {
            std::fprintf(f, "%3d |", b);
            for (int w = 0; w < kQrsWaves; ++w) {
                const SQrsWave& v = q.QrsWaveTable[l][b - 1][w];
                if (w)
                    std::fputs(" | ", f);
                std::fprintf(f, "%5d %5d %5d %5d", v.nOn, v.nPos, v.nAmp, v.nOff);
            }
            std::fputc('\n', f);
        }
        std::fputc('\n', f);
    }
    return CloseDebugFile(f);
}

int WriteMeasurementLog(CEngineData& d) {
    std::FILE* f =
        OpenDebugFile(d, "Debug_Ecg_Event_Mt.log", "[ERROR] Measurement log file creation fail.\n");
    if (!f)
        return -1;
    const auto& m = d.Measurements;
    const int nBeats = ClampBeats(d.BeatCount);
    static const char* const s13s =
        "| %5s | %5s | %5s | %5s | %5s | %5s | %5s | %5s | %5s | %5s | %5s | %5s | %5s |\n";
    auto LabelRow = [&](const char* pszFirst) {
        std::fprintf(f, s13s, pszFirst, kLeadLabels[0], kLeadLabels[1], kLeadLabels[2],
                     kLeadLabels[3], kLeadLabels[4], kLeadLabels[5], kLeadLabels[6], kLeadLabels[7],
                     kLeadLabels[8], kLeadLabels[9], kLeadLabels[10], kLeadLabels[11]);
    };
    auto EndSection = [&] {
        Rule(f);
        std::fputc('\n', f);
    };

    std::fputs("[ Channel Quality Check Result ]\n", f);
    Rule(f);
    LabelRow(" ");
    Rule(f);
    const auto& q12 = d.Detection.LeadQuality12;
    std::fprintf(f, s13s, "QRS", ShortQualityWord(q12[0]), ShortQualityWord(q12[1]),
                 ShortQualityWord(q12[2]), ShortQualityWord(q12[3]), ShortQualityWord(q12[4]),
                 ShortQualityWord(q12[5]), ShortQualityWord(q12[6]), ShortQualityWord(q12[7]),
                 ShortQualityWord(q12[8]), ShortQualityWord(q12[9]), ShortQualityWord(q12[10]),
                 ShortQualityWord(q12[11]));
    EndSection();

    std::fputs("[ Representitive Beat Number ]\n", f);
    Rule(f);
    LabelRow("numR");
    Rule(f);
    const auto& rb = d.Finish.RepresentativeBeat;
    std::fprintf(f,
                 "| %5d | %5d | %5d | %5d | %5d | %5d | %5d | %5d | %5d | %5d | %5d | %5d | "
                 "%5d |\n",
                 d.BeatCount, rb[0], rb[1], rb[2], rb[3], rb[4], rb[5], rb[6], rb[7], rb[8], rb[9],
                 rb[10], rb[11]);
    EndSection();

    std::fputs("[ Measurement Result ]\n", f);
    Rule(f);
    std::fprintf(f, "| %10s | %10s | %10s | %10s | %10s | %10s | %10s | %10s |\n", "HR", "PRint",
                 "QRSdur", "QTint", "QTcint", "Paxis", "Raxis", "Taxis");
    Rule(f);
    const auto& g = m.GlobalMeasurements;
    std::fprintf(f,
                 "| %6d bpm | %7d ms | %7d ms | %7d ms | %7d ms | %6d deg | %6d deg | %6d deg "
                 "|\n",
                 g[0], g[1], g[2], g[3], g[4], g[5], g[6], g[7]);
    EndSection();

    std::fputs("[ Interval & Axis Infomation ]\n", f);
    Rule(f);
    std::fprintf(f, "| %5s | %9s | %9s | %9s | %9s | %9s | %9s | %9s | %9s |\n", "Beat", "RRint",
                 "PRint", "QTint", "QTcint", "Paxis", "Raxis", "Raxis60", "Taxis");
    Rule(f);
    for (int b = 1; b <= nBeats; ++b) {
        std::fprintf(f,
                     "| %5d | %6d ms | %6d ms | %6d ms | %6d ms | %5d deg | %5d deg | %5d deg | "
                     "%5d deg |\n",
                     b, BeatValue(m.RRint, b), BeatValue(m.PRint, b), BeatValue(m.QTint, b),
                     BeatValue(m.QTcint, b), m.Paxis[(b - 1) * kMaxPWavesPerBeat],
                     BeatValue(m.Raxis, b), BeatValue(m.Raxis60, b), BeatValue(m.Taxis, b));
    }
    EndSection();

    std::fputs("[QRS Complex Type ]\n", f);
    Rule(f);
    LeadHeaderRow(f);
    Rule(f);
    for (int b = 1; b <= nBeats; ++b) {
        std::fprintf(f, "%3d |", b);
        for (int l = 0; l < kLeads; ++l)
            std::fprintf(f, "%7s ", QrsTypeText(m.QrsType[l][b]));
        std::fputc('\n', f);
    }
    EndSection();

    for (int l = 0; l < kLeads; ++l) {
        std::fprintf(f, "[ Lead %s Duration & Amplitude Infomation ]\n", kLeadLabels[l]);
        Rule(f);
        std::fprintf(f, "| %5s | %9s | %9s | %9s | %9s | %9s | %9s | %9s | %9s |\n", "Beat", "P",
                     "Q", "R", "S", "R'", "S'", "QLR", "QRS");
        Rule(f);
        for (int b = 1; b <= nBeats; ++b) {
            std::fprintf(f,
                         "| %5d | %6d ms | %6d ms | %6d ms | %6d ms | %6d ms | %6d ms | %6d ms | "
                         "%6d ms |\n",
                         b, m.PD[l][b], m.QD[l][b], m.RD[l][b], m.SD[l][b], m.R2D[l][b],
                         m.S2D[l][b], m.QLRD[l][b], m.QRSD[l][b]);
        }
        Rule(f);
        Rule(f);
        std::fprintf(f, "| %2s | %7s | %7s | %7s | %7s | %7s | %7s | %7s | %7s | %7s | %7s |\n",
                     "Bt", "P", "Q", "R", "S", "R'", "S'", "ampQRS", "sumQRS", "T", "STj");
        Rule(f);
        for (int b = 1; b <= nBeats; ++b) {
            std::fprintf(f,
                         "| %2d | %5duV | %5duV | %5duV | %5duV | %5duV | %5duV | %5duV | %5duV "
                         "| %5duV | %5duV |\n",
                         b, m.PA[l][b], m.QA[l][b], m.RA[l][b], m.SA[l][b], m.R2A[l][b],
                         m.S2A[l][b], m.ampQRS[l][b], m.sumQRS[l][b], m.TA[l][b], m.STA[l][b]);
        }
        EndSection();
    }
    return CloseDebugFile(f);
}

}  // namespace ecg_engine
