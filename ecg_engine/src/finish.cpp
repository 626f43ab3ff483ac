// Finish step: the debug data file, the statements, the lead result table, and the result
// files beside the input: the ".ksi" in the record layout and the ".txt" beat list.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "ecg_engine/engine.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

namespace {

constexpr int kFileLeadBlock = 2 * kRecordSamples + 200;
constexpr int kInfoBlock = kLeads * kFileLeadBlock;  // 122400
constexpr int kInfoBlockSize = 10000;
constexpr int kMorphologyBlock = kInfoBlock + 10000;  // 132400
constexpr int kResultFileSize = kInfoBlock + 11000;   // 133400
constexpr int kFilterItem = 190;
constexpr int kGlobalValues = 3000;
constexpr int kDataArea = 3016;
constexpr int kPaceList = 4000;  // a record file keeps its pacemaker list here

// The mark of a shortened statement list, "... (+N)", and the severity that keeps the
// poor-quality statement longer than any other.
constexpr int kCutMarkRoom = 9;
constexpr int kCutLastLevel = 5;

const char* const kPoorQualityText =
    "*** Poor data quality, interpretation may be adversely affected";
const char* const kClassText[5] = {nullptr, "[ Normal ECG ]",
                                   "[ Minimally Abnormal or Normal Variation ECG ]",
                                   "[ Moderately Abnormal ECG ]", "[ Markedly Abnormal ECG ]"};

int ClampedBeatCount(const CEngineData& d) {
    return std::clamp(d.BeatCount, 0, kMaxBeats);
}

bool IsPoorRating(int nRating) {
    return nRating == LeadLoosed || nRating == LeadFaulted || nRating == LeadNoSignal;
}

// The ratings as rated: those the detection stage kept before folding them, else the ones it
// holds (unfolded when it stopped before the fold).
bool AnyPoorLead(const CEngineData& d) {
    for (int l = 0; l < kLeads; ++l) {
        if (IsPoorRating(d.Finish.LeadRatingBeforeFold[l]) ||
            IsPoorRating(d.Detection.LeadQuality12[l]))
            return true;
    }
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (IsPoorRating(d.Detection.LeadQuality[r]))
            return true;
    }
    return false;
}

// Statement table entry of the current language, English when the table is absent or for
// the older build, which always writes English.
const char* TableText(const CEngineData& d, int nEntry, const char* pszEnglish) {
    if (d.Variant == EEngineVariant::Zorvik31 && d.RhythmStatementTable &&
        d.RhythmStatementTable[nEntry])
        return d.RhythmStatementTable[nEntry];
    return pszEnglish;
}

int TextLength(const StatementText& text) {
    return static_cast<int>(strnlen(text.data(), kStatementSize - 1));
}

void PutBE16(std::string& img, int nOffset, std::int32_t v) {
    img[nOffset] = static_cast<char>((v >> 8) & 0xFF);
    img[nOffset + 1] = static_cast<char>(v & 0xFF);
}

// Counted-list value of beat b (element 0 holds the count).
std::int32_t CountedAt(const BeatTable& list, int b) {
    return (b >= 0 && b + 1 < kMaxBeats) ? list[b + 1] : 0;
}
std::int32_t CountedAt(const LeadBeatTable& table, int l, int b) {
    return CountedAt(table[l], b);
}

// Writes the bytes to a temporary file beside the target, checks every write and the close,
// then renames it over the target. False (and no temporary left) on any failure.
bool WriteFileReplacing(const std::string& strPath, const std::string& strBytes) {
    std::string strTemp = strPath + ".XXXXXX";
    const int fd = ::mkstemp(strTemp.data());
    if (fd < 0)
        return false;
    // The mode a plain create would give (mkstemp makes the file private).
    const mode_t nMask = ::umask(0);
    ::umask(nMask);
    bool bOk = ::fchmod(fd, 0666 & ~nMask) == 0;
    std::size_t nDone = 0;
    while (bOk && nDone < strBytes.size()) {
        const ssize_t n = ::write(fd, strBytes.data() + nDone, strBytes.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            bOk = false;
        else
            nDone += static_cast<std::size_t>(n);
    }
    if (bOk && ::fsync(fd) != 0)
        bOk = false;
    if (::close(fd) != 0)
        bOk = false;
    if (bOk && ::rename(strTemp.c_str(), strPath.c_str()) != 0)
        bOk = false;
    if (!bOk)
        (void)::unlink(strTemp.c_str());
    return bOk;
}

void AppendStatement(CEngineData& d, const char* psz, int nLength) {
    auto& rs = d.ResultStatements;
    if (rs.nCount >= kResultStatementSlots)
        return;
    nLength = std::clamp(nLength, 0, kStatementSize - 1);
    StatementText& slot = rs.aText[rs.nCount++];
    slot.fill('\0');
    std::memcpy(slot.data(), psz, static_cast<std::size_t>(nLength));
}

}  // namespace

void CollectResultStatements(CEngineData& d) {
    auto& f = d.Finish;
    const int N = ClampedBeatCount(d);
    // The record holds 19 directory entries and texts only up to its pacemaker list; the
    // class text always keeps its place at the end.
    const char* pszClass = (f.EcgSeverity >= 1 && f.EcgSeverity <= 4)
                               ? TableText(d, 67 - f.EcgSeverity, kClassText[f.EcgSeverity])
                               : nullptr;
    const int nClassLength = pszClass ? static_cast<int>(strnlen(pszClass, kStatementSize - 1)) : 0;
    int nEntriesLeft = kRecordStatementEntries - (pszClass ? 1 : 0);
    int nBytesLeft = kPaceList - kDataArea - 10 * N - nClassLength;

    struct SOffered {
        const char* psz;
        int nLength, nLevel;
        bool bKept;
    };
    std::array<SOffered, 2 * kStatementSlots + 1> aOffered{};
    int nOffered = 0, nEntries = 0, nBytes = 0;
    auto Offer = [&](const char* psz, int nLength, int nLevel) {
        if (nLength <= 0)
            return;
        aOffered[nOffered++] = {psz, nLength, nLevel, true};
        ++nEntries;
        nBytes += nLength;
    };
    if (AnyPoorLead(d)) {
        const char* psz = TableText(d, 70, kPoorQualityText);
        Offer(psz, static_cast<int>(strnlen(psz, kStatementSize - 1)), kCutLastLevel);
    }
    // Statements stand in slots 1..count; slot 0 stays empty.
    const int nRhythm = std::clamp(f.RhythmStatementCount, 0, kStatementSlots - 1);
    for (int i = 1; i <= nRhythm; ++i)
        Offer(d.RhythmStatementSlots[i].data(), TextLength(d.RhythmStatementSlots[i]),
              d.RhythmStatementLevels[i]);
    const int nWaveform = std::clamp(f.WaveformStatementCount, 0, kStatementSlots - 1);
    for (int i = 1; i <= nWaveform; ++i)
        Offer(d.WaveformStatementSlots[i].data(), TextLength(d.WaveformStatementSlots[i]),
              d.WaveformStatementLevels[i]);

    // When they do not all fit, the least severe go first (the latest of equal severity),
    // and a mark with their count takes one entry, so that nobody reads the list as whole;
    // the text report still holds them all.
    int nDropped = 0;
    if (nEntries > nEntriesLeft || nBytes > nBytesLeft) {
        --nEntriesLeft;
        nBytesLeft -= kCutMarkRoom;
        while (nEntries > 0 && (nEntries > nEntriesLeft || nBytes > nBytesLeft)) {
            int nLeast = -1;
            for (int k = 0; k < nOffered; ++k) {
                if (aOffered[k].bKept &&
                    (nLeast < 0 || aOffered[k].nLevel <= aOffered[nLeast].nLevel))
                    nLeast = k;
            }
            aOffered[nLeast].bKept = false;
            --nEntries;
            nBytes -= aOffered[nLeast].nLength;
            ++nDropped;
        }
    }
    for (int k = 0; k < nOffered; ++k) {
        if (aOffered[k].bKept)
            AppendStatement(d, aOffered[k].psz, aOffered[k].nLength);
    }
    if (nDropped > 0) {
        char szMark[kCutMarkRoom + 1];
        const int nMark = std::snprintf(szMark, sizeof szMark, "... (+%d)", nDropped);
        AppendStatement(d, szMark, std::clamp(nMark, 0, kCutMarkRoom));
    }
    if (pszClass && nClassLength > 0)
        AppendStatement(d, pszClass, nClassLength);
}

void BuildLeadResultTable(CEngineData& d) {
    auto& f = d.Finish;
    const auto& m = d.Measurements;
    const auto& p = d.PWave;
    const auto& q = d.Qrs;
    const int N = ClampedBeatCount(d);
    const int nLast = std::max(N - 1, 0);
    const bool bAlign = d.Variant == EEngineVariant::Zorvik31;
    const int nLongQrs = bAlign ? 700 : 500;

    for (int l = 0; l < kLeads; ++l) {
        const int r = f.RepresentativeBeat[l];
        int b = r - 1;
        if (b < 1 || b > N)
            b = N / 2;
        b = std::min(b, nLast);
        f.ChosenBeat[l] = b;

        const int k = std::clamp(p.ResultCount[b], 0, kMaxPWavesPerBeat);
        const int nPon = k > 0 ? p.ResultOn[b * kMaxPWavesPerBeat + k - 1] : 0;
        const int bq = (bAlign && q.GlobalQrsOnset[b] < nPon) ? std::min(b + 1, nLast) : b;
        const int nQon = q.GlobalQrsOnset[bq];
        const int nQoff = q.GlobalQrsOffset[bq];
        // TOffset stays in the detection frame here, as the window rule has always read it:
        // a normal beat so gets the 500 samples centred on its QRS.
        const auto& tend = d.TWave.TOffset;
        const int bt = (bAlign && tend[b] < nQon) ? std::min(b + 1, nLast) : b;
        const int nTend = tend[bt];

        int nStart, nEnd, h;
        if (nQoff - nQon > nLongQrs) {
            nStart = (nQon + nQoff) / 2 - 250;
            nEnd = nStart + 500;
        } else if (nTend - nQon > 500) {
            h = (nQon - nQoff + 501) / 2;
            nStart = nQon - h;
            nEnd = nQoff + h;
        } else if (nTend - nPon > 500) {
            h = (nQon - nTend + 501) / 2;
            nStart = nQon - h;
            nEnd = nTend + h;
        } else {
            h = (nPon - nTend + 501) / 2;
            nStart = nPon - h;
            nEnd = nTend + h;
        }
        if (nStart <= 0) {
            nStart = 0;
            nEnd = 500;
        } else if (nEnd >= kRecordSamples) {
            nStart = 4499;
            nEnd = 4999;
        }
        f.WindowStart[l] = nStart;
        f.WindowEnd[l] = nEnd;

        auto& v = f.LeadResultTable[l];
        v[0] = r;
        v[1] = nStart;
        v[2] = nEnd;
        v[3] = CountedAt(m.PRint, b);
        v[4] = CountedAt(m.PA, l, b);
        v[5] = CountedAt(m.PD, l, b);
        v[6] = CountedAt(m.QA, l, b);
        v[7] = CountedAt(m.QD, l, b);
        v[8] = CountedAt(m.RA, l, b);
        v[9] = CountedAt(m.RD, l, b);
        v[10] = CountedAt(m.SA, l, b);
        v[11] = CountedAt(m.SD, l, b);
        v[12] = 0;  // no QLR duration is measured
        v[13] = CountedAt(m.QRSdur, b);
        v[14] = CountedAt(m.ampQRS, l, b);
        v[15] = CountedAt(m.TA, l, b);
        v[16] = CountedAt(m.STA, l, b);
        v[17] = CountedAt(m.QTcint, b);
        v[18] = CountedAt(m.ST60A, l, b);
        v[19] = CountedAt(m.ST80A, l, b);
    }
}

std::string BuildResultFileImage(CEngineData& d) {
    const int N = ClampedBeatCount(d);
    std::string img(kResultFileSize, '\0');

    for (int l = 0; l < kLeads; ++l) {
        for (int n = 0; n < kRecordSamples; ++n) {
            const auto v = static_cast<std::uint32_t>(d.AnalysisLeads[l][n]);
            img[l * kFileLeadBlock + 2 * n] = static_cast<char>(v & 0xFF);
            img[l * kFileLeadBlock + 2 * n + 1] = static_cast<char>((v >> 8) & 0xFF);
        }
    }

    const auto& rs = d.ResultStatements;
    const int nStatements = std::clamp(rs.nCount, 0, kRecordStatementEntries);
    int o = kInfoBlock;
    img[o++] = 0x18;
    img[o++] = 0x10;
    for (int k = 0; k < 5; ++k) {
        img[o++] = static_cast<char>(0x30 + k);
        img[o++] = static_cast<char>(2 * N);
    }
    for (int i = 0; i < nStatements; ++i) {
        img[o++] = 0x19;
        img[o++] = static_cast<char>(TextLength(rs.aText[i]));
    }
    // A full directory ends at the patient item's place; the reader stops there by itself.
    if (nStatements < kRecordStatementEntries) {
        img[o++] = 0x19;
        img[o++] = static_cast<char>(0xFF);
    }

    const auto& fs = d.FilterSettings;
    o = kInfoBlock + kFilterItem;
    img[o++] = 0x22;
    img[o++] = 0x04;
    img[o++] = static_cast<char>(fs.nAC);
    img[o++] = static_cast<char>(fs.nLPF);
    img[o++] = static_cast<char>(fs.nBF);
    img[o++] = static_cast<char>(fs.nMF);

    for (int i = 0; i < 8; ++i)
        PutBE16(img, kInfoBlock + kGlobalValues + 2 * i, d.Measurements.GlobalMeasurements[i]);

    // Per-beat arrays: the last P wave, the QRS and lead I's T end, in record positions.
    const auto& p = d.PWave;
    o = kInfoBlock + kDataArea;
    auto Position = [](int v) { return std::clamp(v, 0, kRecordSamples - 1); };
    for (int k = 0; k < 5; ++k) {
        for (int b = 0; b < N; ++b) {
            const int nP = std::clamp(p.ResultCount[b], 0, kMaxPWavesPerBeat);
            std::int32_t v = 0;
            switch (k) {
                case 0:
                    v = nP > 0 ? Position(p.ResultOn[b * kMaxPWavesPerBeat + nP - 1]) : 0;
                    break;
                case 1:
                    v = nP > 0 ? Position(p.ResultOff[b * kMaxPWavesPerBeat + nP - 1]) : 0;
                    break;
                case 2:
                    v = Position(d.Qrs.GlobalQrsOnset[b]);
                    break;
                case 3:
                    v = Position(d.Qrs.GlobalQrsOffset[b]);
                    break;
                default:
                    v = Position(d.TWave.LeadTOffset[LeadI][b]);
                    break;
            }
            PutBE16(img, o, v);
            o += 2;
        }
    }
    for (int i = 0; i < nStatements; ++i) {
        const int n = TextLength(rs.aText[i]);
        if (o + n > kInfoBlock + kInfoBlockSize)
            break;
        std::memcpy(img.data() + o, rs.aText[i].data(), static_cast<std::size_t>(n));
        o += n;
    }

    o = kMorphologyBlock;
    img[o++] = 0x60;
    img[o++] = static_cast<char>(N);
    auto& table = d.Finish.LeadResultTable;
    for (int l = 0; l < kLeads; ++l) {
        if (table[l][0] < 0 || table[l][0] > N)
            table[l][0] = N / 2;
        for (int v = 0; v < kLeadResultValues; ++v, o += 2)
            PutBE16(img, o, table[l][v]);
    }
    if (d.Variant == EEngineVariant::Zorvik31) {
        for (int l = 0; l < kLeads; ++l) {
            for (int v = kLeadResultValues; v < kLeadResultValues + kLeadResultFurther; ++v, o += 2)
                PutBE16(img, o, table[l][v]);
        }
    }
    return img;
}

void RemoveEarlierResultFiles(const CEngineData& d) {
    const std::string strBase = d.OutputBaseName.data();
    if (strBase.empty())
        return;
    (void)::unlink((strBase + ".ksi").c_str());
    (void)::unlink((strBase + ".txt").c_str());
}

int WriteResultFiles(CEngineData& d) {
    // A write past a file size limit must fail as a write, not end the process half-way.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string strBase = d.OutputBaseName.data();
    const std::string strImage = BuildResultFileImage(d);
    if (!WriteFileReplacing(strBase + ".ksi", strImage)) {
        ReportFatal("[ERROR] Pelvorn Interface file creation fail.\n");
        return -1;
    }
    d.Finish.bResultFileWritten = true;
    const int nLog = RunStep(d, 16);
    if (nLog != 0)
        return nLog;

    const int N = ClampedBeatCount(d);
    std::string strList;
    char szLine[160];
    std::snprintf(szLine, sizeof szLine, "numR = %d\n", N);
    strList += szLine;
    auto& table = d.Finish.LeadResultTable;
    for (int l = 0; l < kLeads; ++l) {
        if (table[l][0] < 1 || table[l][0] > N)
            table[l][0] = N / 2;
        std::snprintf(szLine, sizeof szLine, "beat = %d : start = %d : end = %d\n", table[l][0],
                      table[l][1], table[l][2]);
        strList += szLine;
    }
    if (!WriteFileReplacing(strBase + ".txt", strList)) {
        ReportFatal("[ERROR] txt file creation fail.\n");
        return -1;
    }
    return 0;
}

int FinishAnalysis(CEngineData& d) {
    // Once per run: a later caller (the interpretation on its own failure) finds it done.
    if (d.Finish.bFinished)
        return 0;
    d.Finish.bFinished = true;
    if (RunStep(d, 10) != 0)
        return -1;
    CollectResultStatements(d);
    BuildLeadResultTable(d);
    (void)WriteResultFiles(d);
    return 0;
}

}  // namespace ecg_engine
