#include "ecg_control/ekgfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/atomicfile.h"
#include "platform/folders.h"

using namespace ekgfile;

namespace {

struct CFileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) {
            std::fclose(f);
        }
    }
};
using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

CFilePtr OpenForReading(const CString& strPath) {
    if (strPath.empty()) {
        return CFilePtr();
    }
    return CFilePtr(std::fopen(strPath.c_str(), "rb"));
}

// The pacemaker list as written at 24N + 6400: marks that are no sample position of the
// record are left out, and at most 255 are written so that count and list agree.
std::string BuildPaceList(const CWaveBuffer& wave) {
    std::string strList;
    const DWORD nSamples = wave.GetSamplesPerChannel();
    for (DWORD dwMark : wave.m_adwMarks) {
        if (strList.size() / 2 >= static_cast<std::size_t>(kMaxPaceMarks)) {
            break;
        }
        if (dwMark >= nSamples || dwMark > 0x7FFF) {
            continue;
        }
        strList.push_back(static_cast<char>(dwMark & 0xFF));
        strList.push_back(static_cast<char>((dwMark >> 8) & 0xFF));
    }
    const std::size_t nCount = strList.size() / 2;
    if (nCount == 0) {
        return std::string(2, '\0');
    }
    return std::string(1, static_cast<char>(ekgblock::kTagPaceList)) +
           std::string(1, static_cast<char>(nCount)) + strList;
}

// Copies the lead blocks (samples and the 200 zero bytes) of every channel.
BOOL AppendLeadBlocks(CWaveBuffer& wave, std::string& strImage) {
    if (!wave.HasBlock() || wave.GetBytesPerSample() != 2) {
        return FALSE;
    }
    const BYTE* p = wave.Lock();
    if (p == nullptr) {
        return FALSE;
    }
    const std::size_t nLeadBytes = static_cast<std::size_t>(wave.GetSamplesPerChannel()) * 2;
    for (int nLead = 0; nLead < wave.GetChannelCount(); ++nLead) {
        strImage.append(reinterpret_cast<const char*>(p + nLead * nLeadBytes), nLeadBytes);
        strImage.append(kLeadTail, '\0');
    }
    wave.Unlock();
    return TRUE;
}

void PutAt(std::string& strImage, std::size_t nOffset, const std::string& strData) {
    if (strImage.size() < nOffset + strData.size()) {
        strImage.resize(nOffset + strData.size(), '\0');
    }
    strImage.replace(nOffset, strData.size(), strData);
}

CString JoinPath(const CString& strFolder, const char* pszName) {
    if (strFolder.empty() || strFolder.back() == '/') {
        return strFolder + pszName;
    }
    return strFolder + "/" + pszName;
}

CString WriteEngineInputFile(CWaveBuffer* pWave, const CString& strPath) {
    if (pWave == nullptr || strPath.empty()) {
        return CString();
    }
    std::string strImage;
    if (!AppendLeadBlocks(*pWave, strImage)) {
        return CString();
    }
    PutAt(strImage, PaceListOffset(pWave->GetSamplesPerChannel()), BuildPaceList(*pWave));
    if (!platform::WriteFileAtomically(strPath, strImage)) {
        return CString();
    }
    return strPath;
}

// A record file's bytes from an open stream; the pointers are not null.
BOOL ReadEkgStream(const CFilePtr& file, CWaveBuffer* pWave, CEkgRecordInfo* pInfo,
                   CMorphologyTable* pMorph, int nMainsMode) {
    // A file's record replaces the one shown before: nothing of that one stays, even when
    // this file turns out to be short.
    pInfo->Reset();
    pMorph->Free();
    const DWORD nSamples = SamplesForMode(nMainsMode);
    if (!pWave->CreateLeads(nSamples, 2)) {
        return FALSE;
    }
    pWave->SetUserValue(nMainsMode);

    BYTE* pSamples = pWave->Lock();
    if (pSamples == nullptr) {
        return FALSE;
    }
    const std::size_t nLeadBytes = static_cast<std::size_t>(nSamples) * 2;
    for (int nLead = 0; nLead < kLeads; ++nLead) {
        if (std::fread(pSamples + nLead * nLeadBytes, 1, nLeadBytes, file.get()) != nLeadBytes ||
            std::fseek(file.get(), kLeadTail, SEEK_CUR) != 0) {
            pWave->Unlock();
            return FALSE;
        }
    }
    pWave->Unlock();

    if (!pInfo->Alloc(ekgblock::kSize, FALSE)) {
        return FALSE;
    }
    BYTE* pBlock = pInfo->Lock();
    const std::size_t nBlock = std::fread(pBlock, 1, ekgblock::kSize, file.get());
    if (nBlock != ekgblock::kSize) {
        pInfo->Unlock();
        return FALSE;
    }
    pInfo->Decode(pBlock);

    // The pacemaker list lies inside the block just read (offset 4000).
    const BYTE* pList = pBlock + ekgblock::kPaceList;
    if (pList[0] == ekgblock::kTagPaceList) {
        const int nCount = pList[1];
        for (int i = 0; i < nCount; ++i) {
            const short nMark = static_cast<short>(pList[2 + 2 * i] | (pList[3 + 2 * i] << 8));
            const DWORD dwMark = static_cast<DWORD>(static_cast<LONG>(nMark));
            if (dwMark < nSamples) {
                pWave->AddMark(dwMark);
            }
        }
    }
    pInfo->Unlock();

    if (!pMorph->Create()) {
        return FALSE;
    }
    BYTE* pTable = pMorph->Lock();
    const std::size_t nTable = std::fread(pTable, 1, CMorphologyTable::kSize, file.get());
    // A block of another layout (the server's 240 bytes of raw numbers) is not ours.
    if (nTable == 0 || pTable[0] != ekgblock::kTagMorphology) {
        pMorph->Free();
    }
    return TRUE;
}

}  // namespace

BOOL ReadEkgFile(const CString& strPath, CWaveBuffer* pWave, CEkgRecordInfo* pInfo,
                 CMorphologyTable* pMorph, int nMainsMode) {
    if (pWave == nullptr || pInfo == nullptr || pMorph == nullptr) {
        return FALSE;
    }
    CFilePtr file = OpenForReading(strPath);
    if (!file) {
        return FALSE;
    }
    return ReadEkgStream(file, pWave, pInfo, pMorph, nMainsMode);
}

BOOL ReadEkgFileImage(const std::string& strImage, CWaveBuffer* pWave, CEkgRecordInfo* pInfo,
                      CMorphologyTable* pMorph, int nMainsMode) {
    if (pWave == nullptr || pInfo == nullptr || pMorph == nullptr || strImage.empty()) {
        return FALSE;
    }
    // Read only: the stream never writes into the bytes it is given.
    CFilePtr file(::fmemopen(const_cast<char*>(strImage.data()), strImage.size(), "rb"));
    if (!file) {
        return FALSE;
    }
    return ReadEkgStream(file, pWave, pInfo, pMorph, nMainsMode);
}

BOOL BuildEkgFileImage(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph,
                       std::string& strImage) {
    strImage.clear();
    if (pWave == nullptr || pInfo == nullptr || pMorph == nullptr ||
        pWave->GetChannelCount() != kLeads) {
        return FALSE;
    }
    const DWORD nSamples = pWave->GetSamplesPerChannel();
    strImage.reserve(FileSize(nSamples));
    if (!AppendLeadBlocks(*pWave, strImage)) {
        return FALSE;
    }

    std::string strBlock(ekgblock::kSize, '\0');
    if (pInfo->HasBlock() && pInfo->GetSize() >= ekgblock::kSize) {
        // The record's own block holds what was saved last.
        if (!pInfo->Serialize(TRUE)) {
            return FALSE;
        }
        std::memcpy(strBlock.data(), pInfo->Data(), ekgblock::kSize);
    } else {
        pInfo->Encode(reinterpret_cast<BYTE*>(strBlock.data()));
    }
    const std::string strList = BuildPaceList(*pWave);
    strBlock.replace(ekgblock::kPaceList, strList.size(), strList);
    strImage += strBlock;

    std::string strTable(CMorphologyTable::kSize, '\0');
    if (pMorph->HasBlock()) {
        std::memcpy(strTable.data(), pMorph->Data(),
                    std::min<std::size_t>(pMorph->GetSize(), CMorphologyTable::kSize));
    } else {
        strTable[0] = static_cast<char>(ekgblock::kTagMorphology);
        strTable[1] = static_cast<char>(CMorphologyTable::kLeads);
    }
    strImage += strTable;
    return TRUE;
}

CString DefaultSavePath() {
    const CString strTemp = platform::PrivateTempDir();
    if (strTemp.empty()) {
        return CString();
    }
    return JoinPath(strTemp, kDefaultSaveName);
}

BOOL WriteEkgFile(const CString& strPath, CWaveBuffer* pWave, CEkgRecordInfo* pInfo,
                  CMorphologyTable* pMorph) {
    const CString strTarget = strPath.empty() ? DefaultSavePath() : strPath;
    if (strTarget.empty()) {
        return FALSE;
    }
    std::string strImage;
    if (!BuildEkgFileImage(pWave, pInfo, pMorph, strImage)) {
        return FALSE;
    }
    return platform::WriteFileAtomically(strTarget, strImage) ? TRUE : FALSE;
}

CString EngineInputFolder() {
    // The file the host kept beside its program lives in the host's home folder here.
    const CString strProgram = platform::ProgramPath();
    const std::size_t nSlash = strProgram.rfind('/');
    const CString strName = nSlash == CString::npos ? strProgram : strProgram.substr(nSlash + 1);
    CString strFolder = strName.empty() ? CString() : platform::HomeDir(strName);
    if (strFolder.empty()) {
        strFolder = platform::PrivateTempDir();
    }
    return strFolder;
}

CString WriteEngineInput(CWaveBuffer* pWave) {
    const CString strFolder = EngineInputFolder();
    if (strFolder.empty()) {
        return CString();
    }
    return WriteEngineInputFile(pWave, JoinPath(strFolder, kEngineInputName));
}

CString WriteEngineInputTo(CWaveBuffer* pWave, const CString& strFolder) {
    if (strFolder.empty()) {
        return WriteEngineInput(pWave);
    }
    platform::MakeDirs(strFolder);  // a failure shows as a failed write below
    return WriteEngineInputFile(pWave, JoinPath(strFolder, kEngineInputName));
}

BOOL ReadCseFile(const CString& strPath, CWaveBuffer* pWave, int nMainsMode) {
    if (pWave == nullptr) {
        return FALSE;
    }
    CFilePtr file = OpenForReading(strPath);
    if (!file) {
        return FALSE;
    }
    const DWORD nSamples = SamplesForMode(nMainsMode);
    if (!pWave->CreateLeads(nSamples, 2)) {
        return FALSE;
    }
    pWave->SetUserValue(nMainsMode);
    if (std::fseek(file.get(), kCseHeader, SEEK_SET) != 0) {
        return FALSE;
    }
    const std::size_t nGroupBytes = static_cast<std::size_t>(kCseSamples) * 3 * 2;
    std::vector<BYTE> abyGroup(nGroupBytes);
    BOOL bComplete = TRUE;
    for (int nGroup = 0; nGroup < 4 && bComplete; ++nGroup) {
        const std::size_t nRead = std::fread(abyGroup.data(), 1, nGroupBytes, file.get());
        if (nRead != nGroupBytes) {
            bComplete = FALSE;
        }
        // Whole samples read so far are kept; the rest of the record stays zero.
        const std::size_t nValues = nRead / 2;
        for (std::size_t v = 0; v < nValues; ++v) {
            const DWORD j = static_cast<DWORD>(v / 3);
            const int nLead = 3 * nGroup + static_cast<int>(v % 3);
            if (j >= nSamples) {
                continue;
            }
            const short nValue = static_cast<short>((abyGroup[2 * v] << 8) | abyGroup[2 * v + 1]);
            pWave->SetSample(nLead, j, nValue);
        }
    }
    return bComplete;
}
