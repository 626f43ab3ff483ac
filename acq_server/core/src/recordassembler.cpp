#include "acq_server/recordassembler.h"

#include <algorithm>
#include <cstring>

#include "acq_server/recordmemory.h"
#include "platform/codepage.h"

using acq::Format;
using namespace ekgsrv;

namespace acq {

// Decimal number of a fixed-width text (leading blanks skipped, digits up to the first
// other character).
int TextNumber(const BYTE* p, int n) {
    int i = 0;
    while (i < n && p[i] == ' ')
        ++i;
    int v = 0;
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

namespace {
BOOL IsForbidden(char c) {
    return c != '\0' && std::strchr("\\/:*?\"<>|", c) != nullptr;
}
}  // namespace

CString SafeNamePart(CString str) {
    const std::size_t nZero = str.find('\0');
    if (nZero != CString::npos)
        str.resize(nZero);
    CString strOut;
    for (char c : str) {
        if (static_cast<unsigned char>(c) < 32)
            continue;
        strOut += IsForbidden(c) ? '!' : c;
    }
    // "." and ".." would name the folder itself or its parent.
    if (!strOut.empty() && strOut.find_first_not_of('.') == CString::npos)
        std::fill(strOut.begin(), strOut.end(), '!');
    return strOut;
}

CString FileTitle(const CString& strPath) {
    const std::size_t nSlash = strPath.find_last_of("/\\");
    CString strName = nSlash == CString::npos ? strPath : strPath.substr(nSlash + 1);
    const std::size_t nDot = strName.rfind('.');
    if (nDot != CString::npos && nDot > 0)
        strName.resize(nDot);
    return strName;
}

BOOL HasDigit(const BYTE* p, int n) {
    return std::any_of(p, p + n, [](BYTE b) { return b >= '0' && b <= '9'; });
}

CString CleanPatientID(const BYTE* p, std::size_t n) {
    CString str;
    for (std::size_t i = 0; i < n && p[i] != 0; ++i) {
        const BYTE b = p[i];
        if (b == 0xA9 || b == 0xAA || b == 0xAC) {
            str += '!';
            ++i;
        } else if (b >= 32 && b <= 126) {
            str += static_cast<char>(b);
        }
    }
    return SafeNamePart(str);
}

}  // namespace acq

using acq::kStatementRoom;
using acq::kStatementSlots;
using acq::kTextEnd;

CRecordAssembler::CRecordAssembler(CAcqContext& context, IRecordLink& link)
    : m_context(context), m_link(link) {}

void CRecordAssembler::ClearRecord() {
    m_eKind = ERecordKind::None;
    m_b6000 = FALSE;
    m_abyInfo.fill(0);
    m_nBlockCount = 0;
    m_nSampleBlocks = 0;
    m_nDirPos = 12;
    m_nTextPos = 3000;
    for (auto& slot : m_aStatements)
        slot.fill(0);
    m_anStatementLength.fill(0);
    m_nStatements = 0;
    m_anPace.fill(0);
    m_nPace = 0;
    m_bLongReply = FALSE;
    m_strPatientID.clear();
    m_strRecordTime.clear();
    m_pSpiro.reset();
    m_nSpiroMessages = 0;
    acq::CRecordMemory::GiveBytes(m_abyBlocks);
}

void CRecordAssembler::StartEkg() {
    ClearRecord();
    m_eKind = ERecordKind::Ekg;
}

void CRecordAssembler::StartSpiro() {
    ClearRecord();
    m_eKind = ERecordKind::Spiro;
    if (m_context.m_spiroFactory)
        m_pSpiro = m_context.m_spiroFactory();
    if (m_pSpiro)
        m_pSpiro->Reset();
}

void CRecordAssembler::DispatchMessage(const BYTE* p, std::size_t n) {
    if (n < 2)
        return;
    if (m_eKind == ERecordKind::None) {
        if (p[0] == 0x16 && p[1] == 0x3A) {
            StartEkg();
        } else if (p[0] == 0x70) {
            StartSpiro();
        } else {
            return;
        }
    }
    if (m_eKind == ERecordKind::Ekg)
        EkgMessage(p, n);
    else
        SpiroMessage(p, n);
}

void CRecordAssembler::StoreBlock(BYTE nTag, const BYTE* pSamples) {
    if (m_nBlockCount >= kMaxBlocks) {
        m_context.Log(Format("Sample block dropped: %d", m_nBlockCount));
        return;
    }
    if (m_abyBlocks.empty())
        m_abyBlocks =
            acq::CRecordMemory::TakeBytes(static_cast<std::size_t>(kMaxBlocks) * kBlockSize);
    BYTE* pSlot = m_abyBlocks.data() + static_cast<std::size_t>(m_nBlockCount) * kBlockSize;
    pSlot[0] = nTag;
    pSlot[1] = 0x50;
    std::memcpy(pSlot + 2, pSamples, 80);
    ++m_nBlockCount;
}

void CRecordAssembler::AppendText(const BYTE* p, std::size_t n) {
    const std::size_t nRoom =
        m_nTextPos < kTextEnd ? static_cast<std::size_t>(kTextEnd - m_nTextPos) : 0;
    const std::size_t nTake = std::min(n, nRoom);
    if (nTake)
        std::memcpy(m_abyInfo.data() + m_nTextPos, p, nTake);
    m_nTextPos += static_cast<int>(nTake);
}

std::size_t CRecordAssembler::AddStatement(const BYTE* p, std::size_t n) {
    if (m_nStatements >= kStatementSlots || m_nDirPos + 2 > 50)
        return 0;
    std::size_t nLength = std::min<std::size_t>(n, kStatementRoom);
    const BYTE* pZero = static_cast<const BYTE*>(std::memchr(p, 0, nLength));
    if (pZero)
        nLength = static_cast<std::size_t>(pZero - p);
    if (nLength == 0)
        return 0;
    std::memcpy(m_aStatements[m_nStatements].data(), p, nLength);
    m_anStatementLength[m_nStatements] = static_cast<int>(nLength);
    ++m_nStatements;
    // The directory gives the length of the text as it is stored, so that readers stay
    // in step with the texts behind it.
    m_abyInfo[m_nDirPos] = 0x19;
    m_abyInfo[m_nDirPos + 1] = static_cast<BYTE>(nLength);
    m_nDirPos += 2;
    return nLength;
}

void CRecordAssembler::AppendStatements() {
    for (int i = 0; i < m_nStatements; ++i)
        AppendText(m_aStatements[i].data(), static_cast<std::size_t>(m_anStatementLength[i]));
}

void CRecordAssembler::PadDirectory() {
    for (int i = m_nDirPos; i < 50; ++i)
        m_abyInfo[i] = 0xFF;
}

void CRecordAssembler::SetPatientItem(const BYTE* p56) {
    m_abyInfo[50] = 0x16;
    m_abyInfo[51] = 0x3A;
    std::memcpy(m_abyInfo.data() + 52, p56, 56);
    m_abyInfo[52] = 16;
    m_abyInfo[69] = 16;
    m_abyInfo[86] = 4;
    m_abyInfo[91] = 6;
    m_abyInfo[98] = 4;
    m_abyInfo[103] = 4;
    m_strPatientID = acq::CleanPatientID(m_abyInfo.data() + 53, 16);
}

void CRecordAssembler::SetPace(const BYTE* p, int nCount) {
    m_nPace = std::clamp(nCount, 0, kMaxPace);
    for (int i = 0; i < m_nPace; ++i)
        m_anPace[i] = static_cast<WORD>((p[2 * i] << 8) | p[2 * i + 1]);
}

void CRecordAssembler::EkgMessage(const BYTE* p, std::size_t n) {
    const BYTE nTag = p[0];
    const BYTE L = p[1];
    const std::size_t nBody = n - 2;  // bytes behind the header
    switch (nTag) {
        case 0x16:
            if (n >= 58)
                SetPatientItem(p + 2);
            break;
        case 0x35: {
            const std::size_t nText = std::min<std::size_t>(L, nBody);
            const CString strUtf8(reinterpret_cast<const char*>(p + 2), nText);
            // The ID names the record file: keep the name within what a folder can hold.
            m_strPatientID = platform::CutToRoom(acq::SafeNamePart(platform::FromUtf8(strUtf8)),
                                                 acq::kMaxNameID);
            break;
        }
        case 0x21:
            if (n >= 16) {
                m_abyInfo[110] = 0x21;
                m_abyInfo[111] = 10;
                std::memcpy(m_abyInfo.data() + 112, p + 2, 4);
                const int nYear = acq::TextNumber(p + 2, 4);
                const int nMonth = acq::TextNumber(p + 6, 2);
                const int nDay = acq::TextNumber(p + 8, 2);
                const int nHour = acq::TextNumber(p + 10, 2);
                const int nMinute = acq::TextNumber(p + 12, 2);
                m_abyInfo[116] = static_cast<BYTE>(nMonth);
                m_abyInfo[117] = static_cast<BYTE>(nDay);
                m_abyInfo[118] = static_cast<BYTE>(nHour);
                m_abyInfo[119] = static_cast<BYTE>(nMinute);
                // A cart without a set clock sends no digits: its records are named by the
                // local time at saving, as records without a date are, not all alike.
                if (acq::HasDigit(p + 2, 4))
                    m_strRecordTime =
                        Format("%04d%02d%02d%02d%02d", nYear, nMonth, nDay, nHour, nMinute);
            }
            break;
        case 0x23:
            if (n >= 36) {
                m_abyInfo[120] = 16;
                std::memcpy(m_abyInfo.data() + 121, p + 3, 16);
                m_abyInfo[150] = 16;
                std::memcpy(m_abyInfo.data() + 151, p + 20, 16);
            }
            break;
        case 0x22:
            if (L == 4 && n >= 6) {
                m_abyInfo[190] = 0x22;
                m_abyInfo[191] = 4;
                std::memcpy(m_abyInfo.data() + 192, p + 2, 4);
            }
            break;
        case 0x24:
            if (L == 1 && n >= 3)
                m_context.m_nDeviceOption = p[2];
            break;
        case 0x03:
        case 0x40:
            if (L == 0x50 && n >= 82) {
                if (nTag == 0x40 && m_context.m_log) {
                    for (int f = 0; f < 5; ++f) {
                        const BYTE* s = p + 2 + f * 16;
                        m_context.Log(Format("%d", static_cast<short>((s[0] << 8) | s[1])));
                    }
                }
                StoreBlock(nTag, p + 2);
            } else if (L == 0) {
                m_context.Log(
                    Format(nTag == 0x03 ? "Ekg Data End: %d" : "Raw Data End: %d", m_nBlockCount));
                m_b6000 = nTag == 0x40;
                // A repeated end brings no blocks: the record keeps those it has.
                if (m_nBlockCount > 0)
                    m_nSampleBlocks = m_nBlockCount;
                m_nBlockCount = 0;
            }
            break;
        case 0x37:
            if (L > 0)
                SetPace(p + 2, std::min<int>(L, static_cast<int>(nBody / 2)));
            break;
        case 0x18:
            if (L == 0x10 && n >= 18) {
                m_abyInfo[0] = 0x18;
                m_abyInfo[1] = 0x10;
                AppendText(p + 2, 16);
                m_nStatements = 0;
            }
            break;
        case 0x19:
            if (L > 0) {
                AddStatement(p + 2, std::min<std::size_t>(L, nBody));
            } else if (m_nDirPos + 2 <= 50) {
                m_abyInfo[m_nDirPos] = 0x19;
                m_abyInfo[m_nDirPos + 1] = 0xFF;
                m_nDirPos += 2;
            }
            break;
        case 0x30:
        case 0x31:
        case 0x32:
        case 0x33:
        case 0x34: {
            const int k = nTag - 0x30;
            const int nStart = m_nTextPos;
            AppendText(p + 2, std::min<std::size_t>(L, nBody));
            m_abyInfo[2 + 2 * k] = nTag;
            m_abyInfo[3 + 2 * k] = static_cast<BYTE>(m_nTextPos - nStart);
            if (nTag == 0x34)
                EndLegacyEkg();
            break;
        }
        default:
            break;
    }
}

void CRecordAssembler::EndLegacyEkg() {
    m_context.Log("Toff Received");
    AppendStatements();
    PadDirectory();
    StoreEkg([this](BOOL bSaved) {
        auto end = [this] {
            ClearRecord();
            m_builder.Reset();
        };
        if (!bSaved) {
            end();
            m_link.HoldInput(FALSE);
            return;
        }
        // A legacy cart waits for no answer.
        const CStoredRecord record = EkgRecord();
        m_link.TakeRecord(record, [this, record, end](BOOL bTaken) {
            if (bTaken)
                m_context.Stored(record);
            end();
        });
    });
}

void CRecordAssembler::StoreEkg(std::function<void(BOOL)> then) {
    const int nBlocks = m_nBlockCount > 0 ? m_nBlockCount : m_nSampleBlocks;
    m_builder.Reset();
    m_builder.SetPatientID(m_strPatientID);
    m_builder.SetRecordTime(m_strRecordTime);
    if (m_nPace > 0)
        m_builder.SetPaceList(m_anPace.data(), m_nPace);
    if (!m_context.m_commit) {
        const BOOL bSaved =
            m_builder.SaveRecord(m_abyBlocks.data(), nBlocks, m_abyInfo.data(), m_b6000, m_context);
        if (!bSaved)
            m_context.Failed({m_builder.GetFilePath(), m_builder.GetError()});
        then(bSaved);
        return;
    }
    if (!m_builder.PrepareRecord(m_abyBlocks.data(), nBlocks, m_abyInfo.data(), m_b6000,
                                 m_context)) {
        m_context.Failed({m_builder.GetFilePath(), m_builder.GetError()});
        then(FALSE);
        return;
    }
    // The file is written elsewhere; this connection waits with whatever comes next.
    std::shared_ptr<CEkgFileJob> pJob = m_builder.TakeJob();
    m_link.HoldInput(TRUE);
    std::weak_ptr<int> alive = m_pAlive;
    CAcqContext* pContext = &m_context;
    const CString strID = m_builder.GetPatientID();
    m_context.m_commit(
        [pJob] { return pJob->Write() != FALSE; },
        [this, alive, pContext, strID, then, pJob](bool bOk) {
            if (!bOk)
                pContext->Failed({pJob->m_strPath, pJob->m_strError});
            if (alive.expired()) {
                // The connection went meanwhile: the record is still kept.
                if (bOk) {
                    CStoredRecord record;
                    record.m_nKind = 1;
                    record.m_strPatientID = strID;
                    record.m_strPath = pJob->m_strPath;
                    record.m_bSame = pJob->m_bSame;
                    pContext->HandOn(record);
                }
                return;
            }
            m_builder.TakeBack(*pJob);
            then(bOk);
        });
}

BOOL CRecordAssembler::SaveSpiro(CString& strPath, CString& strID, BOOL& bSame) {
    if (!m_pSpiro)
        return FALSE;  // this server takes no spirometry records
    CString strReason;
    if (m_pSpiro->Save(m_context, strPath, strID, bSame, strReason))
        return TRUE;
    m_context.Failed({strPath, strReason});
    return FALSE;
}

CStoredRecord CRecordAssembler::EkgRecord() const {
    CStoredRecord record;
    record.m_nKind = 1;
    record.m_strPatientID = m_builder.GetPatientID();
    record.m_strPath = m_builder.GetFilePath();
    record.m_bSame = m_builder.IsSame();
    record.m_pEkg = &m_builder;
    if (record.m_bSame)
        m_context.Log(Format("Record already stored: %s", record.m_strPath.c_str()));
    return record;
}

CStoredRecord CRecordAssembler::SpiroRecord(const CString& strID, const CString& strPath,
                                            BOOL bSame) const {
    CStoredRecord record;
    record.m_nKind = 2;
    record.m_strPatientID = strID;
    record.m_strPath = strPath;
    record.m_bSame = bSame;
    record.m_pSpiro = m_pSpiro.get();
    return record;
}

void CRecordAssembler::SpiroMessage(const BYTE* p, std::size_t n) {
    const BYTE nTag = p[0];
    const BYTE L = p[1];
    const int nTestType = m_pSpiro ? m_pSpiro->GetTestType() : 0;
    const BOOL bEnd = L == 0 && (nTag == 0x88 || nTag == 0x89 || nTag == 0x97 ||
                                 (nTag == 0x87 && nTestType != 5));
    if (!bEnd) {
        if (m_pSpiro)
            m_pSpiro->AddDeviceMessage(nTag, p, n);
        ++m_nSpiroMessages;
        return;
    }
    // The legacy spirometry path stores the test and answers nothing; the test is handed on
    // as a frame-mode one is.
    CString strPath, strID;
    BOOL bSame = FALSE;
    if (SaveSpiro(strPath, strID, bSame)) {
        m_strPatientID = strID;
        const CStoredRecord record = SpiroRecord(strID, strPath, bSame);
        m_link.TakeRecord(record, [this, record](BOOL bTaken) {
            if (bTaken)
                m_context.Stored(record);
            ClearRecord();
        });
        return;
    }
    ClearRecord();
}

// ---------------------------------------------------------------------------------------
// Frames

BOOL CRecordAssembler::HandleFrame(const BYTE* p, std::size_t n) {
    if (n < 2 || p[n - 1] != 0xEF)
        return FALSE;
    switch (p[0]) {
        case 0xFA:
            if (n >= 4) {
                m_context.m_nDeviceOption = p[1];
                m_nTransferOption = p[2];
            }
            return TRUE;
        case 0xFC:
            if (p[1] == 5)
                EndFrameRecord();
            return TRUE;
        case 0xFD:
            switch (p[1]) {
                case 0xA0:
                    EkgHeaderFrame(p, n);
                    break;
                case 0xA1:
                    StatementFrame(p, n);
                    break;
                case 0xA2:
                    MeasurementFrame(p, n);
                    break;
                case 0xA3:
                    SampleFrame(p, n, 0x03);
                    break;
                case 0xA4:
                    SampleFrame(p, n, 0x40);
                    break;
                case 0xB0:
                    SpiroHeaderFrame(p, n);
                    break;
                default:
                    if (p[1] >= 0xB1 && p[1] <= 0xBC && m_pSpiro && m_nTransferOption >= 1 &&
                        m_nTransferOption <= 3)
                        m_pSpiro->AddFrameData(1, p[1], p, n);
                    break;
            }
            return TRUE;
        default:
            m_link.SendReply(acq::kReplyRefused, 0);
            return FALSE;
    }
}

void CRecordAssembler::EkgHeaderFrame(const BYTE* p, std::size_t n) {
    const int nOption = m_nTransferOption;
    if (nOption < 1 || nOption > 3)
        return;
    const std::size_t nNeed = nOption == 3 ? 195 : 176;
    if (n < nNeed) {
        m_context.Log(Format("ECG header frame too short: %zu", n));
        return;
    }
    StartEkg();
    BYTE* b = m_abyInfo.data();
    b[50] = 0x16;
    b[51] = 0x3A;
    b[52] = 16;
    std::memcpy(b + 53, p + 4, 16);
    b[69] = 16;
    std::memcpy(b + 70, p + 36, 16);
    b[86] = 4;
    std::memcpy(b + 87, p + 68, 4);
    b[91] = 6;
    std::memcpy(b + 92, p + 72, 6);
    b[98] = 4;
    std::memcpy(b + 99, p + 88, 4);
    b[103] = 4;
    std::memcpy(b + 104, p + 92, 4);
    m_strPatientID = acq::CleanPatientID(b + 53, 16);

    b[110] = 0x21;
    b[111] = 10;
    std::memcpy(b + 112, p + 96, 4);
    const int nYear = acq::TextNumber(p + 96, 4);
    const int nMonth = acq::TextNumber(p + 100, 2);
    const int nDay = acq::TextNumber(p + 102, 2);
    const int nHour = acq::TextNumber(p + 104, 2);
    const int nMinute = acq::TextNumber(p + 106, 2);
    const int nSecond = acq::TextNumber(p + 108, 2);
    b[116] = static_cast<BYTE>(nMonth);
    b[117] = static_cast<BYTE>(nDay);
    b[118] = static_cast<BYTE>(nHour);
    b[119] = static_cast<BYTE>(nMinute);
    if (acq::HasDigit(p + 96, 4))
        m_strRecordTime =
            Format("%04d%02d%02d%02d%02d%02d", nYear, nMonth, nDay, nHour, nMinute, nSecond);

    if (nOption == 3) {
        b[120] = 28;
        std::memcpy(b + 121, p + 110, 28);
        b[150] = 28;
        std::memcpy(b + 151, p + 166, 28);
    } else {
        b[120] = 16;
        std::memcpy(b + 121, p + 110, 16);
        b[150] = 16;
        std::memcpy(b + 151, p + 142, 16);
    }
    m_bLongReply = p[174] == 1;
}

void CRecordAssembler::StatementFrame(const BYTE* p, std::size_t n) {
    if (m_nTransferOption < 1 || m_nTransferOption > 3 || n < 6)
        return;
    m_nDirPos = 12;
    m_nStatements = 0;
    const int nCount = p[4];
    const std::size_t nEnd = n - 1;  // the 0xEF is no text
    std::size_t nPos = 5;
    for (int i = 0; i < nCount && nPos < nEnd; ++i) {
        const std::size_t nLength = p[nPos];
        if (nPos + 1 + nLength > nEnd)
            break;
        AddStatement(p + nPos + 1, nLength);
        nPos += 1 + nLength;
    }
    if (m_nDirPos + 2 <= 50) {
        m_abyInfo[m_nDirPos] = 0x19;
        m_abyInfo[m_nDirPos + 1] = 0xFF;
        m_nDirPos += 2;
    }
}

void CRecordAssembler::MeasurementFrame(const BYTE* p, std::size_t n) {
    if (m_nTransferOption < 1 || m_nTransferOption > 3)
        return;
    if (n < 512) {
        m_context.Log(Format("Measurement frame too short: %zu", n));
        return;
    }
    m_abyInfo[190] = 0x22;
    m_abyInfo[191] = 4;
    std::memcpy(m_abyInfo.data() + 192, p + 4, 4);
    m_nTextPos = 3000;
    m_abyInfo[0] = 0x18;
    m_abyInfo[1] = 0x10;
    AppendText(p + 8, 16);
    for (int k = 0; k < 5; ++k) {
        const std::size_t nAt = 24 + 81 * static_cast<std::size_t>(k);
        const std::size_t nLength = std::min<std::size_t>(p[nAt], 80);
        const int nStart = m_nTextPos;
        AppendText(p + nAt + 1, nLength);
        m_abyInfo[2 + 2 * k] = static_cast<BYTE>(0x30 + k);
        m_abyInfo[3 + 2 * k] = static_cast<BYTE>(m_nTextPos - nStart);
    }
    AppendStatements();
    PadDirectory();
    // Positions stop at the frame's end mark.
    const int nBytes = std::min<int>(p[429], static_cast<int>(n - 1 - 430));
    const int nCount = nBytes / 2;
    if (nCount >= 1)
        SetPace(p + 430, nCount);
}

void CRecordAssembler::SampleFrame(const BYTE* p, std::size_t n, BYTE nTag) {
    const std::size_t nBlocks = n > 5 ? std::min<std::size_t>(10, (n - 5) / 80) : 0;
    for (std::size_t i = 0; i < nBlocks; ++i)
        StoreBlock(nTag, p + 4 + 80 * i);
    m_b6000 = nTag == 0x40;
}

void CRecordAssembler::SpiroHeaderFrame(const BYTE* p, std::size_t n) {
    StartSpiro();
    if (m_pSpiro && m_nTransferOption >= 1 && m_nTransferOption <= 3)
        m_pSpiro->SetFrameHeader(m_nTransferOption, p, n);
    m_bLongReply = n > 180 && p[180] == 1;
}

void CRecordAssembler::EndFrameRecord() {
    if (m_eKind == ERecordKind::Ekg) {
        m_link.EndFrameMode();
        StoreEkg([this](BOOL bSaved) {
            // Answered "taken" only once the record is kept.
            const CStoredRecord record = EkgRecord();
            auto answer = [this, record](BOOL bTaken) {
                if (!bTaken)
                    m_link.SendReply(acq::kReplyRefused, 0);
                else if (m_bLongReply)
                    m_link.SendLongReply(1, record.m_strPatientID, record.m_strPath);
                else
                    m_link.SendReply(acq::kReplyTaken, 0);
                if (bTaken)
                    m_context.Stored(record);
                ClearRecord();
                m_builder.Reset();
            };
            if (!bSaved) {
                answer(FALSE);
                m_link.HoldInput(FALSE);
                return;
            }
            m_link.TakeRecord(record, answer);
        });
        return;
    }
    if (m_eKind == ERecordKind::Spiro) {
        CString strPath, strID;
        BOOL bSame = FALSE;
        const BOOL bSaved = SaveSpiro(strPath, strID, bSame);
        const CStoredRecord record = SpiroRecord(strID, strPath, bSame);
        if (!bSaved) {
            m_link.SendReply(acq::kReplyRefused, 0);
            ClearRecord();
            return;
        }
        m_link.TakeRecord(record, [this, record](BOOL bTaken) {
            if (!bTaken) {
                m_link.SendReply(acq::kReplyRefused, 0);
            } else {
                if (m_bLongReply) {
                    const int nType = m_pSpiro->GetTestType();
                    const BYTE nKind = nType == 2 ? 4 : nType == 3 ? 8 : 2;
                    m_link.SendLongReply(nKind, record.m_strPatientID, record.m_strPath);
                } else {
                    m_link.SendReply(acq::kReplyTaken, 0);
                }
                m_strPatientID = record.m_strPatientID;
                m_context.Stored(record);
            }
            ClearRecord();
        });
        return;
    }
    // An end without a record: nothing was stored.
    m_link.SendReply(acq::kReplyRefused, 0);
    ClearRecord();
}
