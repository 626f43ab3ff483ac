#include "acq_server/ekgrecordbuilder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "acq_server/recordmemory.h"
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

CEkgRecordBuilder::CEkgRecordBuilder() = default;

void CEkgRecordBuilder::Reset() {
    // Everything of a record is freed: an idle connection holds no record memory.
    m_pBlocks = nullptr;
    m_nBlocks = 0;
    std::vector<BYTE>().swap(m_abyInfo);
    acq::CRecordMemory::GiveLeads(m_leads);
    m_pJob.reset();
    m_abyMeasure.fill(0);
    m_anPace.clear();
    m_bSame = FALSE;
}

void CEkgRecordBuilder::SetPaceList(const WORD* pPositions, int nCount) {
    m_anPace.clear();
    if (pPositions && nCount > 0)
        m_anPace.assign(pPositions, pPositions + std::min(nCount, kMaxPace));
}

BOOL CEkgRecordBuilder::SaveRecord(const BYTE* pBlocks, int nBlocks, const BYTE* pInfo, BOOL b6000,
                                   const CAcqContext& context) {
    if (!PrepareRecord(pBlocks, nBlocks, pInfo, b6000, context))
        return FALSE;
    const std::unique_ptr<CEkgFileJob> pJob = TakeJob();
    const BOOL bWritten = pJob->Write();
    TakeBack(*pJob);
    return bWritten;
}

std::unique_ptr<CEkgFileJob> CEkgRecordBuilder::TakeJob() {
    return std::move(m_pJob);
}

void CEkgRecordBuilder::TakeBack(CEkgFileJob& job) {
    if (job.m_leads.HasBlock())
        m_leads.MoveFrom(job.m_leads);
    m_strFilePath = job.m_strPath;
    m_strError = job.m_strError;
    m_bSame = job.m_bSame;
}

BOOL CEkgFileJob::Write() {
    // The leads are little-endian in the buffer as in the file: each lead is one write of
    // its first samples.
    platform::CAtomicFile out;
    BOOL bWritten = out.Open(m_strPath);
    const BYTE* pLeads = m_leads.Lock();
    for (int l = 0; l < kLeads && bWritten; ++l) {
        if (pLeads) {
            bWritten =
                out.Write(pLeads + static_cast<std::size_t>(l) * kLeadSamples * 2, m_nLeadBytes);
        } else {
            const std::vector<BYTE> zero(m_nLeadBytes, 0);
            bWritten = out.Write(zero.data(), zero.size());
        }
    }
    if (pLeads)
        m_leads.Unlock();
    if (!bWritten || !out.Write(m_abyInfo.data(), kInfoSize) ||
        !out.Write(m_abyMeasure.data(), kMeasureSize) || !out.CommitFree(m_pPromise.get())) {
        m_strError = out.ErrorText();
        return FALSE;
    }
    m_strPath = out.Target();
    m_bSame = out.IsSame();
    return TRUE;
}

BOOL CEkgRecordBuilder::PrepareRecord(const BYTE* pBlocks, int nBlocks, const BYTE* pInfo,
                                      BOOL b6000, const CAcqContext& context) {
    m_pJob.reset();
    m_strError.clear();
    m_pBlocks = pBlocks;
    m_nBlocks = pBlocks ? std::clamp(nBlocks, 0, kMaxBlocks) : 0;
    m_abyInfo.assign(pInfo, pInfo + kInfoSize);
    MakeLeads(b6000);
    m_pBlocks = nullptr;  // the caller's blocks are not kept
    MakeMeasureBlock();
    return WriteRecordFile(b6000, context);
}

void CEkgRecordBuilder::MakeLeads(BOOL b6000) {
    // The leads are derived frame by frame straight from the blocks into the locked sample
    // buffer: one lock for the whole record, no per-sample calls.
    if (!acq::CRecordMemory::TakeLeads(m_leads, kLeadSamples))
        return;
    BYTE* pLeads = m_leads.Lock();
    if (!pLeads)
        return;
    // Samples are stored little-endian, as the record file holds them.
    auto put = [pLeads](int nLead, int i, int nValue) {
        BYTE* q = pLeads + (static_cast<std::size_t>(nLead) * kLeadSamples + i) * 2;
        const auto v = static_cast<WORD>(static_cast<short>(nValue));
        q[0] = static_cast<BYTE>(v & 0xFF);
        q[1] = static_cast<BYTE>(v >> 8);
    };
    const BYTE nTag = b6000 ? 0x40 : 0x03;
    // Only the blocks of this record are walked, never what an earlier record left.
    const int nLimit = std::min(m_nBlocks, b6000 ? kMaxBlocks : kBlocks5000);
    int nFrame = 0;
    for (int b = 0; b < nLimit; ++b) {
        const BYTE* p = m_pBlocks + static_cast<std::size_t>(b) * kBlockSize;
        if (p[0] != nTag)
            continue;
        if (p[1] == 0)
            break;
        if (p[1] != 0x50)
            continue;
        for (int f = 0; f < 5 && nFrame < kLeadSamples; ++f, ++nFrame) {
            const BYTE* s = p + 2 + f * kChannels * 2;
            auto channel = [s](int c) {
                return static_cast<int>(static_cast<short>((s[2 * c] << 8) | s[2 * c + 1]));
            };
            const int nI = channel(0);
            const int nII = channel(1);
            const short nIII = static_cast<short>(nII - nI);
            put(0, nFrame, nI);
            put(1, nFrame, nII);
            put(2, nFrame, nIII);
            put(3, nFrame, -(nI + nII) / 2);
            put(4, nFrame, (nI - nIII) / 2);
            put(5, nFrame, (nII + nIII) / 2);
            for (int v = 0; v < 6; ++v)
                put(6 + v, nFrame, channel(2 + v));
        }
    }
    // Frames no block reached stay 0 in every lead, as the buffer came zeroed.
    m_leads.Unlock();
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

CString CEkgRecordBuilder::FolderError(int nError) {
    return CString("its folder cannot be created: ") + std::strerror(nError ? nError : EIO);
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
    const int nFolderError = bFolderOk ? 0 : errno;
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
    // The information block as it goes into the file: the pacemaker list lies over its
    // offset 4000.
    std::vector<BYTE> info(m_abyInfo);
    info.resize(kInfoSize, 0);
    const int nCount = static_cast<int>(m_anPace.size());
    if (nCount >= 1 && nCount <= 255) {
        info[kPaceOffset] = 0x37;
        info[kPaceOffset + 1] = static_cast<BYTE>(nCount);
        for (int i = 0; i < nCount; ++i)
            PutLE16(info, kPaceOffset + 2 + static_cast<std::size_t>(i) * 2, m_anPace[i]);
    } else {
        info[kPaceOffset] = 0;
        info[kPaceOffset + 1] = 0;
    }
    m_anPace.clear();

    if (!bFolderOk) {
        m_strError = FolderError(nFolderError);
        return FALSE;
    }
    // Everything the file holds goes with the job; the leads come back with TakeBack.
    auto pJob = std::make_unique<CEkgFileJob>();
    pJob->m_strPath = m_strFilePath;
    pJob->m_leads.MoveFrom(m_leads);
    pJob->m_abyInfo = std::move(info);
    pJob->m_abyMeasure = m_abyMeasure;
    pJob->m_nLeadBytes = nLeadBytes;
    pJob->m_pPromise = context.Promise(1, m_strPatientID);
    m_pJob = std::move(pJob);
    return TRUE;
}
