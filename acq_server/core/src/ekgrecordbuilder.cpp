#include "acq_server/ekgrecordbuilder.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "platform/atomicfile.h"
#include "platform/folders.h"

using acq::Format;
using namespace ekgsrv;

namespace {
CString JoinPath(const CString& strFolder, const CString& strName) {
    if (strFolder.empty())
        return strName;
    if (strFolder.back() == '/' || strFolder.back() == '\\')
        return strFolder + strName;
    return strFolder + "/" + strName;
}
void PutLE16(std::vector<BYTE>& out, std::size_t nAt, WORD n) {
    out[nAt] = static_cast<BYTE>(n & 0xFF);
    out[nAt + 1] = static_cast<BYTE>(n >> 8);
}
}  // namespace

CEkgRecordBuilder::CEkgRecordBuilder()
    : m_abyBlocks(static_cast<std::size_t>(kMaxBlocks) * kBlockSize, 0),
      m_abyInfo(kInfoSize, 0),
      m_anChannels(static_cast<std::size_t>(kChannels) * kLeadSamples, 0) {
    m_leads.CreateLeads(kLeadSamples, 2);
}

void CEkgRecordBuilder::Reset() {
    std::fill(m_abyBlocks.begin(), m_abyBlocks.end(), 0);
    m_nBlocks = 0;
    std::fill(m_abyInfo.begin(), m_abyInfo.end(), 0);
    std::fill(m_anChannels.begin(), m_anChannels.end(), 0);
    m_leads.Zero();
    m_abyMeasure.fill(0);
    m_anPace.clear();
}

void CEkgRecordBuilder::SetPaceList(const WORD* pPositions, int nCount) {
    m_anPace.clear();
    if (pPositions && nCount > 0)
        m_anPace.assign(pPositions, pPositions + std::min(nCount, kMaxPace));
}

BOOL CEkgRecordBuilder::SaveRecord(const BYTE* pBlocks, int nBlocks, const BYTE* pInfo, BOOL b6000,
                                   const CAcqContext& context) {
    m_nBlocks = std::clamp(nBlocks, 0, kMaxBlocks);
    std::fill(m_abyBlocks.begin(), m_abyBlocks.end(), 0);
    if (pBlocks && m_nBlocks)
        std::memcpy(m_abyBlocks.data(), pBlocks, static_cast<std::size_t>(m_nBlocks) * kBlockSize);
    std::memcpy(m_abyInfo.data(), pInfo, kInfoSize);
    MakeLeads(b6000);
    MakeMeasureBlock();
    return WriteRecordFile(b6000, context);
}

void CEkgRecordBuilder::MakeLeads(BOOL b6000) {
    std::fill(m_anChannels.begin(), m_anChannels.end(), 0);
    const BYTE nTag = b6000 ? 0x40 : 0x03;
    // Only the blocks of this record are walked, never what an earlier record left.
    const int nLimit = std::min(m_nBlocks, b6000 ? kMaxBlocks : kBlocks5000);
    int nFrame = 0;
    for (int b = 0; b < nLimit; ++b) {
        const BYTE* p = m_abyBlocks.data() + static_cast<std::size_t>(b) * kBlockSize;
        if (p[0] != nTag)
            continue;
        if (p[1] == 0)
            break;
        if (p[1] != 0x50)
            continue;
        for (int f = 0; f < 5 && nFrame < kLeadSamples; ++f, ++nFrame) {
            for (int c = 0; c < kChannels; ++c) {
                const BYTE* s = p + 2 + (f * kChannels + c) * 2;
                m_anChannels[static_cast<std::size_t>(c) * kLeadSamples + nFrame] =
                    static_cast<short>((s[0] << 8) | s[1]);
            }
        }
    }
    auto ch = [&](int c, int i) {
        return static_cast<int>(m_anChannels[static_cast<std::size_t>(c) * kLeadSamples + i]);
    };
    for (int i = 0; i < kLeadSamples; ++i) {
        const int nI = ch(0, i);
        const int nII = ch(1, i);
        const short nIII = static_cast<short>(nII - nI);
        m_leads.SetSample(0, i, static_cast<short>(nI));
        m_leads.SetSample(1, i, static_cast<short>(nII));
        m_leads.SetSample(2, i, nIII);
        m_leads.SetSample(3, i, static_cast<short>(-(nI + nII) / 2));
        m_leads.SetSample(4, i, static_cast<short>((nI - nIII) / 2));
        m_leads.SetSample(5, i, static_cast<short>((nII + nIII) / 2));
        for (int v = 0; v < 6; ++v)
            m_leads.SetSample(6 + v, i, static_cast<short>(ch(2 + v, i)));
    }
}

void CEkgRecordBuilder::MakeMeasureBlock() {
    m_abyMeasure.fill(0);
    // Entries 0x30..0x34 keep their lengths at 3, 5, 7, 9, 11 and their texts back to back
    // from 3016; each group takes the numbers of its own entry, at most 24.
    std::size_t nText = 3016;
    for (int k = 0; k < 5; ++k) {
        const int nLength = m_abyInfo[3 + 2 * k];
        const int nNumbers = std::min(nLength / 2, kMeasurePerGroup);
        for (int j = 0; j < nNumbers; ++j) {
            const std::size_t nAt = nText + static_cast<std::size_t>(j) * 2;
            if (nAt + 1 >= static_cast<std::size_t>(kInfoSize))
                break;
            const WORD n = static_cast<WORD>((m_abyInfo[nAt] << 8) | m_abyInfo[nAt + 1]);
            const std::size_t nOut = (static_cast<std::size_t>(k) * kMeasurePerGroup + j) * 2;
            m_abyMeasure[nOut] = static_cast<BYTE>(n & 0xFF);
            m_abyMeasure[nOut + 1] = static_cast<BYTE>(n >> 8);
        }
        nText += static_cast<std::size_t>(nLength);
    }
}

CString CEkgRecordBuilder::RecordBase(const CAcqSettings& settings, const CString& strPatientID,
                                      const char* pszKindFolder, BOOL& bFolderOk) {
    bFolderOk = TRUE;
    const CString& strWork = settings.m_strWorkingFolder;
    if (settings.m_nFolderType == 1) {
        const CString strFolder = JoinPath(strWork, strPatientID);
        bFolderOk = platform::MakeDirs(strFolder);
        return JoinPath(strFolder, strPatientID);
    }
    if (settings.m_nFolderType == 2) {
        const CString strFolder = JoinPath(strWork, pszKindFolder) + "/";
        bFolderOk = platform::MakeDirs(strFolder);
        return strFolder + strPatientID;
    }
    if (!strWork.empty())
        bFolderOk = platform::MakeDirs(strWork);
    return JoinPath(strWork, strPatientID);
}

BOOL CEkgRecordBuilder::WriteRecordFile(BOOL b6000, const CAcqContext& context) {
    BOOL bFolderOk = TRUE;
    const CString strBase = RecordBase(context.m_settings, m_strPatientID, "EKG", bFolderOk);
    CString strTime = m_strRecordTime;
    if (strTime.empty()) {
        const std::time_t t = context.Now();
        std::tm tmNow{};
        localtime_r(&t, &tmNow);
        strTime = Format("%04d%02d%02d%02d%02d%02d", tmNow.tm_year + 1900, tmNow.tm_mon + 1,
                         tmNow.tm_mday, tmNow.tm_hour, tmNow.tm_min, tmNow.tm_sec);
    }
    m_strFilePath = strBase + "_" + strTime + (b6000 ? ".raw" : ".ekg");
    context.Log(m_strFilePath);

    const int nSamples = b6000 ? 6000 : 5000;
    const std::size_t nLeadBytes = static_cast<std::size_t>(nSamples + 100) * 2;
    std::vector<BYTE> file(FileSize(b6000), 0);
    std::size_t nAt = 0;
    for (int l = 0; l < kLeads; ++l) {
        for (int i = 0; i < nSamples + 100; ++i)
            PutLE16(file, nAt + static_cast<std::size_t>(i) * 2,
                    static_cast<WORD>(m_leads.GetSample(l, static_cast<UINT>(i))));
        nAt += nLeadBytes;
    }
    std::memcpy(file.data() + nAt, m_abyInfo.data(), kInfoSize);
    const std::size_t nPace = nAt + kPaceOffset;
    nAt += kInfoSize;
    std::memcpy(file.data() + nAt, m_abyMeasure.data(), kMeasureSize);
    // The pacemaker list lies over offset 4000 of the information block.
    const int nCount = static_cast<int>(m_anPace.size());
    if (nCount >= 1 && nCount <= 255) {
        file[nPace] = 0x37;
        file[nPace + 1] = static_cast<BYTE>(nCount);
        for (int i = 0; i < nCount; ++i)
            PutLE16(file, nPace + 2 + static_cast<std::size_t>(i) * 2, m_anPace[i]);
    } else {
        file[nPace] = 0;
        file[nPace + 1] = 0;
    }
    m_anPace.clear();

    if (!bFolderOk) {
        context.Log(Format("Record folder cannot be created: %s", m_strFilePath.c_str()));
        return FALSE;
    }
    platform::CAtomicFile out;
    if (!out.Open(m_strFilePath) || !out.Write(file.data(), file.size()) || !out.Commit()) {
        context.Log(Format("Record file cannot be written: %s", m_strFilePath.c_str()));
        return FALSE;
    }
    return TRUE;
}
