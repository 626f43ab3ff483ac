#pragma once
// Owned, zero-initialised memory blocks for the large data of a record (lead samples,
// information block, lead measurement block, layout data). The lock count is kept as
// bookkeeping so that nested users can lock and unlock freely; a block allocated "kept
// locked" has one fixed address for its whole life.
#include <cstddef>
#include <vector>

#include "platform/wintypes.h"

class CGlobalBuffer {
public:
    CGlobalBuffer() = default;
    virtual ~CGlobalBuffer();
    CGlobalBuffer(const CGlobalBuffer&) = delete;
    CGlobalBuffer& operator=(const CGlobalBuffer&) = delete;

    // Releases every counted lock and the block; clears the user value.
    virtual void Free();
    // Frees any earlier block, then allocates nBytes of zeroed memory. FALSE (and empty)
    // when it fails or nBytes is 0.
    virtual BOOL Alloc(DWORD nBytes, BOOL bKeepLocked);
    // Copies the other block (size and kept-lock flag); FALSE when the other is empty.
    // The user value is not copied.
    virtual BOOL CopyFrom(const CGlobalBuffer& other);
    // Takes over the other's block; the other is left without one (its user value stays).
    virtual BOOL MoveFrom(CGlobalBuffer& other);

    // Pointer to the first byte, or null without a block. Counted unless kept locked.
    BYTE* Lock();
    // Undoes one counted Lock; returns the remaining count (0 for a kept-locked block).
    int Unlock();
    void UnlockAll();

    BOOL Fill(int nValue);
    BOOL Zero() { return Fill(0); }
    // Copies into / out of the block; FALSE when the range does not lie inside the block.
    BOOL WriteAt(DWORD nOffset, const void* pSource, DWORD nLength);
    BOOL Write(const void* pSource, DWORD nLength) { return WriteAt(0, pSource, nLength); }
    BOOL ReadAt(DWORD nOffset, void* pDestination, DWORD nLength) const;
    BOOL Read(void* pDestination, DWORD nLength) const { return ReadAt(0, pDestination, nLength); }

    BOOL HasBlock() const { return m_pBlock != nullptr; }
    DWORD GetSize() const { return m_dwSize; }
    BOOL IsKeptLocked() const { return m_bKeepLocked; }
    int GetLockCount() const { return m_nLockCount; }
    LONG GetUserValue() const { return m_nUserValue; }
    void SetUserValue(LONG nValue) { m_nUserValue = nValue; }
    // Read-only view of the block for readers that do not need the lock bookkeeping.
    const BYTE* Data() const { return m_pBlock; }

private:
    LONG m_nUserValue = 0;
    BYTE* m_pBlock = nullptr;
    DWORD m_dwSize = 0;
    BOOL m_bKeepLocked = FALSE;
    BYTE* m_pKept = nullptr;
    int m_nLockCount = 0;
};

// Sample buffer: channels x samples x bytes per sample, channel after channel, plus the
// pacemaker spike positions. Its user value holds the mains mode (0 = 50 Hz, 1 = 60 Hz).
class CWaveBuffer : public CGlobalBuffer {
public:
    CWaveBuffer() = default;
    ~CWaveBuffer() override;

    void Free() override;
    // From another sample buffer the shape (channels, samples, bytes per sample) and the
    // marks come along with the block, so the result is usable as a sample buffer.
    BOOL CopyFrom(const CGlobalBuffer& other) override;
    BOOL MoveFrom(CGlobalBuffer& other) override;
    BOOL Create(int nChannels, UINT nSamples, int nBytesPerSample);
    BOOL CreateLeads(UINT nSamples, int nBytesPerSample) {
        return Create(12, nSamples, nBytesPerSample);
    }

    int GetChannelCount() const { return m_nChannels; }
    UINT GetSamplesPerChannel() const { return m_nSamples; }
    int GetBytesPerSample() const { return m_nBytesPerSample; }
    // 16-bit sample access (bounds checked: 0 / FALSE outside the buffer).
    short GetSample(int nChannel, UINT nIndex) const;
    BOOL SetSample(int nChannel, UINT nIndex, short nValue);

    // Pacemaker spike positions in arrival order.
    std::vector<DWORD> m_adwMarks;
    void AddMark(DWORD dwPosition) { m_adwMarks.push_back(dwPosition); }
    // Removes every mark m with nFrom <= m <= nTo, keeping the order of the rest.
    void RemoveMarks(DWORD nFrom, DWORD nTo);

private:
    int m_nChannels = 0;
    UINT m_nSamples = 0;
    int m_nBytesPerSample = 0;
};
