#include "ecg_engine/input_reader.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "ecg_engine/engine.h"

namespace ecg_engine {

namespace {

constexpr long kDcdHeader = 3000;
constexpr int kDcdGroups = 4;

// A lead block holds its samples and 200 bytes behind them.
constexpr long LeadBlockStride(long nSamplesPerLead) {
    return 2 * nSamplesPerLead + 200;
}
// A record taken in 60 Hz mode holds 6000 samples (12 s) a lead. Such a file is known by its
// size: from its twelve lead blocks alone up to the whole record file with its information
// and lead measurement blocks. No file of 5000 samples a lead comes near that size.
constexpr long kSamplesPerLead60Hz = 6000;
constexpr long kSmallest60HzFile = kLeads * LeadBlockStride(kSamplesPerLead60Hz);
constexpr long kWhole60HzFile = 24 * kSamplesPerLead60Hz + 12900;

// The lead block stride of the file: 6000-sample records by their size, all others as
// 5000-sample ones (a short file then reads -1 where its samples are missing).
long LeadBlockStrideOf(std::FILE* pFile) {
    struct stat st {};
    const bool bSixtyHz = ::fstat(::fileno(pFile), &st) == 0 && st.st_size >= kSmallest60HzFile &&
                          st.st_size <= kWhole60HzFile;
    return LeadBlockStride(bSixtyHz ? kSamplesPerLead60Hz : kRecordSamples);
}

// Reads nBytes at nOffset; bytes beyond the end of the file read as 0xFF.
void ReadBytesAt(std::FILE* pFile, long nOffset, unsigned char* pBuf, std::size_t nBytes) {
    std::memset(pBuf, 0xFF, nBytes);
    if (std::fseek(pFile, nOffset, SEEK_SET) != 0)
        return;
    (void)std::fread(pBuf, 1, nBytes, pFile);
}

// Record rows in EngineLeadOrder; only the independent leads are kept.
int InputRowOfLead(int nLead) {
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (kInputRowLead[r] == nLead)
            return r;
    }
    return -1;
}

void StoreSample(CEngineData& d, int nLead, int nSample, std::int16_t nValue) {
    const int nRow = InputRowOfLead(nLead);
    if (nRow >= 0)
        d.InputLeads[nRow][kLeadIn + nSample] = nValue;
}

void ReadDcd(CEngineData& d, std::FILE* pFile) {
    static unsigned char s_aBytes[kDcdGroups * 3 * kRecordSamples * 2];
    ReadBytesAt(pFile, kDcdHeader, s_aBytes, sizeof(s_aBytes));
    const unsigned char* p = s_aBytes;
    for (int g = 0; g < kDcdGroups; ++g) {
        for (int s = 0; s < kRecordSamples; ++s) {
            for (int k = 0; k < 3; ++k, p += 2) {
                const auto nValue = static_cast<std::int16_t>((p[0] << 8) | p[1]);
                StoreSample(d, 3 * g + k, s, nValue);
            }
        }
    }
}

// The first 5000 samples (10 s) of each lead; the engine analyses no more.
void ReadLeadBlocks(CEngineData& d, std::FILE* pFile) {
    static unsigned char s_aBytes[kRecordSamples * 2];
    const long nStride = LeadBlockStrideOf(pFile);
    for (int l = 0; l < kLeads; ++l) {
        if (InputRowOfLead(l) < 0)
            continue;
        ReadBytesAt(pFile, nStride * l, s_aBytes, sizeof(s_aBytes));
        for (int s = 0; s < kRecordSamples; ++s) {
            const auto nValue =
                static_cast<std::int16_t>(s_aBytes[2 * s] | (s_aBytes[2 * s + 1] << 8));
            StoreSample(d, l, s, nValue);
        }
    }
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

}  // namespace

EInputKind InputKindOf(const char* pszPath, int& nDotPos) {
    nDotPos = -1;
    if (!pszPath)
        return EInputKind::None;
    const int nLen = static_cast<int>(std::strlen(pszPath));
    int nDot = -1;
    for (int i = nLen - 1; i >= 0 && !IsSeparator(pszPath[i]); --i) {
        if (pszPath[i] == '.') {
            nDot = i;
            break;
        }
    }
    // A name that is only an extension (".ekg") has no base to name the results after.
    if (nDot <= 0 || IsSeparator(pszPath[nDot - 1]))
        return EInputKind::None;
    const char* pszExt = pszPath + nDot + 1;
    struct {
        const char* pszUpper;
        const char* pszLower;
        EInputKind eKind;
    } static const s_aKinds[] = {{"DCD", "dcd", EInputKind::Dcd},
                                 {"REC", "rec", EInputKind::Rec},
                                 {"EKG", "ekg", EInputKind::Ekg},
                                 {"RAW", "raw", EInputKind::Raw}};
    for (const auto& k : s_aKinds) {
        if (std::strcmp(pszExt, k.pszUpper) == 0 || std::strcmp(pszExt, k.pszLower) == 0) {
            nDotPos = nDot;
            return k.eKind;
        }
    }
    return EInputKind::None;
}

int ReadInputRecord(CEngineData& d) {
    d.InputPath.fill('\0');
    d.OutputBaseName.fill('\0');
    d.DebugFolderPrefix.fill('\0');
    d.DebugDumpRows.Clear();
    d.pszInputArgument = nullptr;
    d.pszSecondArgument = nullptr;

    if (d.Arguments.empty() || d.Arguments[0] == nullptr) {
        ReportFatal("[ERROR] There is no input file name.\n");
        return -1;
    }
    d.pszInputArgument = d.Arguments[0];
    d.pszSecondArgument = d.Arguments.size() > 1 ? d.Arguments[1] : nullptr;

    // Refuse what the fixed buffers cannot hold rather than cut the path to another file.
    if (!CopyText(d.InputPath, d.pszInputArgument) ||
        std::strlen(d.pszInputArgument) + 1 >= static_cast<std::size_t>(kTextSize)) {
        ReportFatal("[ERROR] Input file name is too long.\n");
        return -1;
    }

    std::FILE* pFile = std::fopen(d.InputPath.data(), "rb");
    if (!pFile) {
        ReportFatal("[ERROR] Input file open fail.\n");
        return -1;
    }

    int nDot = -1;
    const EInputKind eKind = InputKindOf(d.InputPath.data(), nDot);
    if (eKind == EInputKind::None) {
        std::fclose(pFile);
        ReportFatal("[ERROR] Input file type is not known.\n");
        return -1;
    }

    std::memcpy(d.OutputBaseName.data(), d.InputPath.data(), nDot);
    std::memcpy(d.DebugFolderPrefix.data(), d.InputPath.data(), nDot);
    std::memset(d.InputPath.data() + nDot, 0, kTextSize - nDot);

    if (d.WritesDebugOutput()) {
        // The folder may exist already, and a folder that cannot be made only costs the
        // debug files, never the analysis.
        (void)::mkdir(d.DebugFolderPrefix.data(), 0777);
        d.DebugFolderPrefix[nDot] = '/';
    }

    if (eKind == EInputKind::Dcd) {
        ReadDcd(d, pFile);
    } else {
        ReadLeadBlocks(d, pFile);
    }

    for (auto& row : d.InputLeads) {
        for (int i = 0; i < kLeadIn; ++i)
            row[i] = row[kLeadIn];
        for (int i = kLeadIn + kRecordSamples; i < kInputSamples; ++i) {
            row[i] = row[kLeadIn + kRecordSamples - 1];
        }
    }
    std::fclose(pFile);
    return 0;
}

}  // namespace ecg_engine
