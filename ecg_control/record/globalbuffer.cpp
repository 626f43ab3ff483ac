#include "ecg_control/globalbuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

CGlobalBuffer::~CGlobalBuffer() {
    // The derived part is gone by now; only the block itself is released here.
    CGlobalBuffer::Free();
}

void CGlobalBuffer::Free() {
    if (m_pBlock == nullptr) {
        return;
    }
    UnlockAll();
    delete[] m_pBlock;
    m_pBlock = nullptr;
    m_nUserValue = 0;
    m_dwSize = 0;
    m_bKeepLocked = FALSE;
    m_pKept = nullptr;
    m_nLockCount = 0;
}

BOOL CGlobalBuffer::Alloc(DWORD nBytes, BOOL bKeepLocked) {
    Free();
    if (nBytes == 0) {
        return FALSE;
    }
    BYTE* pBlock = new (std::nothrow) BYTE[nBytes]();
    if (pBlock == nullptr) {
        return FALSE;
    }
    m_pBlock = pBlock;
    m_dwSize = nBytes;
    if (bKeepLocked) {
        m_bKeepLocked = TRUE;
        m_pKept = m_pBlock;
        m_nLockCount = 1;
    }
    return TRUE;
}

BOOL CGlobalBuffer::CopyFrom(const CGlobalBuffer& other) {
    if (&other == this || other.m_pBlock == nullptr) {
        return FALSE;
    }
    const BYTE* pSource = other.m_pBlock;
    const DWORD dwSize = other.m_dwSize;
    Free();
    if (!Alloc(dwSize, other.m_bKeepLocked)) {
        return FALSE;
    }
    std::memcpy(m_pBlock, pSource, dwSize);
    return TRUE;
}

BOOL CGlobalBuffer::MoveFrom(CGlobalBuffer& other) {
    if (&other == this || other.m_pBlock == nullptr) {
        return FALSE;
    }
    Free();
    m_pBlock = other.m_pBlock;
    m_dwSize = other.m_dwSize;
    m_bKeepLocked = other.m_bKeepLocked;
    m_pKept = other.m_pKept;
    m_nLockCount = other.m_nLockCount;
    other.m_pBlock = nullptr;
    other.m_dwSize = 0;
    other.m_bKeepLocked = FALSE;
    other.m_pKept = nullptr;
    other.m_nLockCount = 0;
    return TRUE;
}

BYTE* CGlobalBuffer::Lock() {
    if (m_pBlock == nullptr) {
        return nullptr;
    }
    if (m_bKeepLocked) {
        return m_pKept;
    }
    ++m_nLockCount;
    return m_pBlock;
}

int CGlobalBuffer::Unlock() {
    if (m_bKeepLocked) {
        return 0;
    }
    if (m_pBlock != nullptr && m_nLockCount > 0) {
        --m_nLockCount;
    }
    return m_nLockCount;
}

void CGlobalBuffer::UnlockAll() {
    if (m_bKeepLocked) {
        // The kept lock is released with the block itself.
        m_nLockCount = 0;
        return;
    }
    while (Unlock() != 0) {
    }
}

BOOL CGlobalBuffer::Fill(int nValue) {
    BYTE* p = Lock();
    if (p == nullptr) {
        return FALSE;
    }
    std::memset(p, nValue & 0xFF, m_dwSize);
    Unlock();
    return TRUE;
}

BOOL CGlobalBuffer::WriteAt(DWORD nOffset, const void* pSource, DWORD nLength) {
    if (static_cast<std::uint64_t>(nOffset) + nLength > m_dwSize) {
        return FALSE;
    }
    BYTE* p = Lock();
    if (p == nullptr) {
        return FALSE;
    }
    if (nLength != 0) {
        std::memmove(p + nOffset, pSource, nLength);
    }
    Unlock();
    return TRUE;
}

BOOL CGlobalBuffer::ReadAt(DWORD nOffset, void* pDestination, DWORD nLength) const {
    if (m_pBlock == nullptr || static_cast<std::uint64_t>(nOffset) + nLength > m_dwSize) {
        return FALSE;
    }
    if (nLength != 0) {
        std::memmove(pDestination, m_pBlock + nOffset, nLength);
    }
    return TRUE;
}

// ---------------------------------------------------------------------------------------

CWaveBuffer::~CWaveBuffer() {
    m_adwMarks.clear();
}

void CWaveBuffer::Free() {
    m_nChannels = 0;
    m_nSamples = 0;
    m_nBytesPerSample = 0;
    m_adwMarks.clear();
    CGlobalBuffer::Free();
}

BOOL CWaveBuffer::CopyFrom(const CGlobalBuffer& other) {
    const auto* pWave = dynamic_cast<const CWaveBuffer*>(&other);
    if (pWave == this || !CGlobalBuffer::CopyFrom(other)) {
        return FALSE;
    }
    if (pWave != nullptr) {
        m_nChannels = pWave->m_nChannels;
        m_nSamples = pWave->m_nSamples;
        m_nBytesPerSample = pWave->m_nBytesPerSample;
        m_adwMarks = pWave->m_adwMarks;
    }
    return TRUE;
}

BOOL CWaveBuffer::MoveFrom(CGlobalBuffer& other) {
    auto* pWave = dynamic_cast<CWaveBuffer*>(&other);
    if (pWave == this || !CGlobalBuffer::MoveFrom(other)) {
        return FALSE;
    }
    if (pWave != nullptr) {
        m_nChannels = pWave->m_nChannels;
        m_nSamples = pWave->m_nSamples;
        m_nBytesPerSample = pWave->m_nBytesPerSample;
        m_adwMarks = std::move(pWave->m_adwMarks);
        pWave->m_nChannels = 0;
        pWave->m_nSamples = 0;
        pWave->m_nBytesPerSample = 0;
        pWave->m_adwMarks.clear();
    }
    return TRUE;
}

BOOL CWaveBuffer::Create(int nChannels, UINT nSamples, int nBytesPerSample) {
    const std::uint64_t nBytes =
        static_cast<std::uint64_t>(nChannels < 0 ? 0 : nChannels) * nSamples *
        static_cast<std::uint64_t>(nBytesPerSample < 0 ? 0 : nBytesPerSample);
    if (nBytes == 0 || nBytes > 0xFFFFFFFFu) {
        Free();
        return FALSE;
    }
    if (!Alloc(static_cast<DWORD>(nBytes), FALSE)) {
        return FALSE;
    }
    m_nChannels = nChannels;
    m_nSamples = nSamples;
    m_nBytesPerSample = nBytesPerSample;
    return TRUE;
}

short CWaveBuffer::GetSample(int nChannel, UINT nIndex) const {
    if (Data() == nullptr || m_nBytesPerSample != 2 || nChannel < 0 || nChannel >= m_nChannels ||
        nIndex >= m_nSamples) {
        return 0;
    }
    const BYTE* p = Data() + (static_cast<std::size_t>(nChannel) * m_nSamples + nIndex) * 2;
    return static_cast<short>(p[0] | (p[1] << 8));
}

BOOL CWaveBuffer::SetSample(int nChannel, UINT nIndex, short nValue) {
    if (m_nBytesPerSample != 2 || nChannel < 0 || nChannel >= m_nChannels || nIndex >= m_nSamples) {
        return FALSE;
    }
    const BYTE ab[2] = {static_cast<BYTE>(nValue & 0xFF), static_cast<BYTE>((nValue >> 8) & 0xFF)};
    return WriteAt(
        static_cast<DWORD>((static_cast<std::size_t>(nChannel) * m_nSamples + nIndex) * 2), ab, 2);
}

void CWaveBuffer::RemoveMarks(DWORD nFrom, DWORD nTo) {
    m_adwMarks.erase(std::remove_if(m_adwMarks.begin(), m_adwMarks.end(),
                                    [=](DWORD m) { return nFrom <= m && m <= nTo; }),
                     m_adwMarks.end());
}
