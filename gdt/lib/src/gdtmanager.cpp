#include "zeqgdt/gdtmanager.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "gdtfs.h"
#include "gdthome.h"
#include "gdtthreaded.h"
#include "zeqgdt/gdtconfig.h"
#include "zeqgdt/gdtsentence.h"
#include "zeqgdt/gdtutils.h"

namespace {

const char kWait[] = "[WAIT].";
// Beside the kept copy of an answered order that is still in the share: the size and
// last-write time the share's file had when its result went.
const char kDone[] = "[DONE].";

using gdtthreaded::FileSize;
using gdtthreaded::Threaded;

// Whole-file compare, on a worker like every file-system call.
bool SameBytes(const CString& a, const CString& b) {
    return Threaded("Compare", [&] {
        std::string da, db;
        return gdtfs::ReadAll(a, da) && gdtfs::ReadAll(b, db) && da == db;
    });
}

// The record length that the file states (field 8100) is the number of bytes it holds.
bool StatesItsSize(const std::string& data) {
    std::size_t at = 0;
    while (at + 9 <= data.size()) {
        const std::size_t nLength = std::strtoul(data.substr(at, 3).c_str(), nullptr, 10);
        if (nLength < 9 || at + nLength > data.size())
            return false;
        if (data.compare(at + 3, 4, "8100") == 0) {
            return std::strtoull(data.substr(at + 7, nLength - 9).c_str(), nullptr, 10) ==
                   data.size();
        }
        at += nLength;
    }
    return false;
}

// How long an order short of whole keeps its size before it is taken as it is (and found
// broken): practice software may pause for seconds between two writes of one order.
std::chrono::milliseconds SettleTime() {
    const char* env = std::getenv("CORVANE_GDT_ORDER_SETTLE_MS");
    const int ms = env ? std::atoi(env) : 0;
    return std::chrono::milliseconds(ms > 0 ? ms : 10000);
}

// A copy into the share: whole or nothing under its final name; a file already there with
// the same bytes (a retry after a broken run) counts as copied.
bool CopyToShare(const CString& source, const CString& target) {
    if (CGDTUtils::CopyFileA(source, target)) return true;
    return CGDTUtils::IsFile(target) && SameBytes(source, target);
}

// What the share says of an order's name: a file (its size and time), none, or no answer.
struct ShareOrder {
    gdtfs::Presence ePresence = gdtfs::Presence::kUnknown;
    gdtfs::Status status;
};

ShareOrder LookAtOrder(const CString& strPath) {
    return Threaded("LookAtOrder", [&] {
        ShareOrder order;
        order.ePresence = gdtfs::Probe(strPath, order.status);
        return order;
    });
}

bool WriteNote(const CString& strPath, const gdtfs::Status& status) {
    char text[64];
    std::snprintf(text, sizeof text, "%lld %lld\r\n", static_cast<long long>(status.nSize),
                  static_cast<long long>(status.nWriteNs));
    return Threaded("WriteNote", [&] { return gdtfs::WriteReplace(strPath, text); });
}

bool ReadNote(const CString& strPath, gdtfs::Status& status) {
    std::string text;
    if (!Threaded("ReadNote", [&] { return gdtfs::ReadAll(strPath, text); }))
        return false;
    long long nSize = 0, nWriteNs = 0;
    if (std::sscanf(text.c_str(), "%lld %lld", &nSize, &nWriteNs) != 2)
        return false;
    status.nSize = nSize;
    status.nWriteNs = nWriteNs;
    return true;
}

// The share's file is still the answered order: the noted size and time, and the bytes of
// the copy kept of it (when there is one).
bool IsAnsweredOrder(const ShareOrder& now, const gdtfs::Status& answered, const CString& strShare,
                     const CString& strKept) {
    return now.ePresence == gdtfs::Presence::kFile && now.status.nSize == answered.nSize &&
           now.status.nWriteNs == answered.nWriteNs &&
           (!CGDTUtils::IsFile(strKept) || SameBytes(strKept, strShare));
}

// An answered order leaves the share, then its kept copy and note go. Its copy is kept while
// the share has not said that the file is gone: while it refuses the removal, or cannot be
// asked. Another file under the name is a new order: only the old one's copy goes.
void RemoveAnsweredOrder(const CGDTConfig& config, const CString& n, const gdtfs::Status& answered,
                         bool bLog) {
    const CString share = CGDTUtils::MakePath(config.m_strSharePath, n);
    const CString kept = CGDTUtils::MakePath(config.m_strTempPath, n);
    ShareOrder now = LookAtOrder(share);
    if (IsAnsweredOrder(now, answered, share, kept)) {
        CGDTUtils::DeleteFileA(share);
        now = LookAtOrder(share);
        if (now.ePresence == gdtfs::Presence::kFile) {
            if (bLog) {
                CGDTUtils::AddLog(
                    "Failed to remove the answered order file from the shared folder.[%s]",
                    n.c_str());
            }
            return;
        }
    }
    if (now.ePresence == gdtfs::Presence::kUnknown) {
        if (bLog) {
            CGDTUtils::AddLog(
                "Can't access to shared folder to remove the answered order file.[%s]", n.c_str());
        }
        return;
    }
    CGDTUtils::DeleteFileA(kept);
    CGDTUtils::DeleteFileA(CGDTUtils::MakePath(config.m_strTempPath, kDone + n));
}

// Answered orders still in the share are tried again, quietly: each look would log the same.
void RetryAnsweredOrders() {
    CGDTConfig config;
    const CString prefix = kDone;
    CStringArray notes;
    CGDTUtils::GetFilesAsFileName(
        config.m_strTempPath, prefix + config.m_strSenderShortName + config.m_strReceiverShortName,
        notes);
    for (const CString& note : notes) {
        gdtfs::Status answered;
        if (ReadNote(CGDTUtils::MakePath(config.m_strTempPath, note), answered))
            RemoveAnsweredOrder(config, note.substr(prefix.size()), answered, false);
    }
}

}  // namespace

CGDTManager::CGDTManager() {
    gdthome::HandOverOwnHome();
    RemoveAllWaitOrderLists();
}

CGDTManager::~CGDTManager() { Clear(); }

CString CGDTManager::GetLocalFileTitle() {
    CGDTConfig config;
    return config.m_strReceiverShortName + config.m_strSenderShortName;
}

CString CGDTManager::GetRemoteFileTitle() {
    CGDTConfig config;
    return config.m_strSenderShortName + config.m_strReceiverShortName;
}

CString CGDTManager::GetAttachClassfyName(int nIndex) {
    char buf[16];
    std::snprintf(buf, sizeof buf, ".%03d", nIndex);
    return buf;
}

CString CGDTManager::FindNewOrder() {
    CGDTConfig config;
    const CString title = config.m_strSenderShortName + config.m_strReceiverShortName;
    CStringArray orders, taken;
    CGDTUtils::GetFilesAsFileName(config.m_strSharePath, title, orders);
    CGDTUtils::GetFilesAsFileName(config.m_strTempPath, "", taken);
    for (const CString& n : orders) {
        bool bTaken = false;
        for (const CString& t : taken) {
            if (t == n || t == kWait + n || t == kDone + n)
                bTaken = true;
        }
        if (!bTaken) return n;
    }
    return {};
}

BOOL CGDTManager::IsOrderWhole(const CString& strName, const CString& strPath) {
    // The practice software may still be writing it: a copy taken now would be cut short.
    std::string data;
    const bool bRead = Threaded("ReadWhole", [&] { return gdtfs::ReadAll(strPath, data); });
    if (bRead && StatesItsSize(data)) {
        m_settling = {};
        return TRUE;
    }
    // Short of whole, or not to be read yet (its writer may hold it): growing, until its size
    // has held still across this manager's looks for the settle time.
    const std::int64_t nSize = bRead ? static_cast<std::int64_t>(data.size()) : FileSize(strPath);
    const auto now = std::chrono::steady_clock::now();
    if (m_settling.strName != strName || m_settling.nSize != nSize) {
        m_settling = {strName, nSize, now};
        return FALSE;
    }
    if (now - m_settling.since < SettleTime())
        return FALSE;
    m_settling = {};
    return TRUE;
}

void CGDTManager::RetryStuckOrders() {
    if (m_stuck.empty())
        return;
    CGDTConfig config;
    for (auto it = m_stuck.begin(); it != m_stuck.end();) {
        if (FileSize(CGDTUtils::MakePath(config.m_strSharePath, it->first)) == it->second) {
            ++it;
            continue;
        }
        // Rewritten or gone: the wait copy goes, and a rewritten order is new again.
        CGDTUtils::DeleteFileA(CGDTUtils::MakePath(config.m_strTempPath, kWait + it->first));
        it = m_stuck.erase(it);
    }
}

int CGDTManager::GetNewOrder(CString& strExt, CString& strOrderName, CString& strPatientID,
                             CString& strLastName, CString& strFirstName, int& nBirthYear,
                             int& nBirthMonth, int& nBirthDay, eGENDER& eGender, double& dHeight,
                             double& dWeight, CString& strDeviceCode, int /*nReserved*/) {
    RetryStuckOrders();
    RetryAnsweredOrders();
    const CString n = FindNewOrder();
    strOrderName = n;
    if (n.empty()) return FALSE;
    CGDTConfig config;
    const CString share = CGDTUtils::MakePath(config.m_strSharePath, n);
    if (!CGDTUtils::IsFile(share)) {
        CGDTUtils::AddLog("The order file does not exist.[%s]", n.c_str());
        return FALSE;
    }
    if (!IsOrderWhole(n, share))
        return FALSE;  // still growing: no failure, nothing to log
    const std::int64_t nSize = FileSize(share);
    const CString wait = CGDTUtils::MakePath(config.m_strTempPath, kWait + n);
    if (!CGDTUtils::CopyFileA(share, wait)) {
        CGDTUtils::AddLog("Failed to copy the order file in the temporary folder.[%s]", n.c_str());
        return FALSE;
    }
    strExt = CGDTUtils::GetFileExt(n);
    CGDTSentence order;
    if (!order.Load(wait)) {
        // The wait copy stays, so that newer orders are taken meanwhile; the order is tried
        // again once its file in the share changes (or by the next manager).
        m_stuck[n] = nSize;
        CGDTUtils::AddLog("Failed to open the order file.[%s]", n.c_str());
        return FALSE;
    }
    m_stuck.erase(n);
    strPatientID = order.GetFieldValue(FIELD_PATIENT_ID);
    strLastName = order.GetFieldValue(FIELD_LAST_NAME);
    strFirstName = order.GetFieldValue(FIELD_FIRST_NAME);
    nBirthYear = nBirthMonth = nBirthDay = 0;
    const CString birth = order.GetFieldValue(FIELD_BIRTH_DATE);
    int y = 0, m = 0, d = 0;
    if (birth != GDT_NO_TEXT && CGDTUtils::GetDateFromString(birth, y, m, d)) {
        nBirthYear = y;
        nBirthMonth = m;
        nBirthDay = d;
    }
    eGender = static_cast<eGENDER>(order.GetFieldValueToEnum(FIELD_GENDER));
    dHeight = order.GetFieldValueToDouble(FIELD_HEIGHT);
    dWeight = order.GetFieldValueToDouble(FIELD_WEIGHT);
    strDeviceCode = order.GetFieldValue(FIELD_MEASURE_INFO);
    CGDTUtils::AddLog("Copy the order file in the temporary folder.[%s]", n.c_str());
    return TRUE;
}

void CGDTManager::SetOrderSendResult(const CString& strExt, int bAccepted) {
    CGDTConfig config;
    const CString n = config.m_strSenderShortName + config.m_strReceiverShortName + strExt;
    const CString taken = CGDTUtils::MakePath(config.m_strTempPath, n);
    const CString wait = CGDTUtils::MakePath(config.m_strTempPath, kWait + n);
    if (bAccepted) {
        if (CGDTUtils::IsFile(taken)) CGDTUtils::DeleteFileA(taken);
        // The order counts as taken only when its copy is there under its own name: a rename
        // that fails is followed by a copy and a delete.
        bool bTaken = CGDTUtils::Rename(wait, taken);
        if (!bTaken && CGDTUtils::CopyFileA(wait, taken)) {
            CGDTUtils::DeleteFileA(wait);
            bTaken = true;
        }
        if (!bTaken) {
            CGDTUtils::AddLog("Failed to rename the order file in the shared folder.[%s]", n.c_str());
            return;
        }
        CGDTUtils::AddLog("The Order was successful sent.[%s]", n.c_str());
    } else {
        if (!CGDTUtils::DeleteFileA(wait)) {
            CGDTUtils::AddLog("Failed to delete the order file in the shared folder.[%s]", n.c_str());
        }
        CGDTUtils::AddLog("Order failed to transfer.[%s]", n.c_str());
    }
}

void CGDTManager::Clear() {
    m_patient.clear();
    m_software.clear();
    m_testInfo.clear();
    m_tests.clear();
    m_attachments.clear();
    m_resultTexts.clear();
    m_comments.clear();
}

void CGDTManager::SetPatientInfo(const CString& strID, const CString& strLastName,
                                 const CString& strFirstName, int nYear, int nMonth, int nDay,
                                 eGENDER eGender, double dHeight, double dWeight) {
    m_patient.assign(1, {strID, strLastName, strFirstName, nYear, nMonth, nDay, eGender, dHeight, dWeight});
}

void CGDTManager::SetSoftwareInfo(const CString& strMaker, const CString& strName, const CString& strVersion) {
    m_software.assign(1, {strMaker, strName, strVersion});
}

void CGDTManager::SetTestInfo(eDEVICE eDevice, int nYear, int nMonth, int nDay, int nHour, int nMinute,
                              int nSecond) {
    m_testInfo.assign(1, {eDevice, nYear, nMonth, nDay, nHour, nMinute, nSecond});
}

void CGDTManager::AddTest(const CString& strTestID, double dValue, double dStandard, double dLow,
                          double dHigh, const CString& strUnit) {
    m_tests.push_back({strTestID, dValue, dStandard, dLow, dHigh, strUnit});
}

void CGDTManager::AddFiles(const CString& strFormat, const CString& strDescription,
                           const CString& strSourcePath) {
    m_attachments.push_back({strFormat, strDescription, strSourcePath});
}

void CGDTManager::AddComment(const CString& strText) { m_comments.push_back(strText); }
void CGDTManager::AddResultsText(const CString& strText) { m_resultTexts.push_back(strText); }

int CGDTManager::MakeResultData(const CString& strExt) {
    CGDTConfig config;
    const CString n = config.m_strSenderShortName + config.m_strReceiverShortName + strExt;
    const CString r = config.m_strReceiverShortName + config.m_strSenderShortName + strExt;
    CGDTSentence order;
    if (!order.Load(CGDTUtils::MakePath(config.m_strTempPath, n))) {
        CGDTUtils::AddLog("The order file does not exist in the temporary folder.");
        return FALSE;
    }
    const CString resultPath = CGDTUtils::MakePath(config.m_strTempPath, r);
    if (CGDTUtils::IsFile(resultPath)) CGDTUtils::DeleteFileA(resultPath);

    CGDTSentence result;
    result.AddSentenceInfo(SENTENCE_RESULT, config.m_strReceiverName, config.m_strSenderName,
                           VERSION_0210, CHAR_TYPE_NONE);
    result.AddPatientInfo(order);
    if (!m_software.empty()) {
        const SoftwareInfo& s = m_software.front();
        result.AddSoftwareInfo(s.strMaker, s.strName, s.strVersion);
    }
    if (!m_testInfo.empty()) {
        const TestInfo& t = m_testInfo.front();
        result.AddTestInfo(t.eDevice, t.nYear, t.nMonth, t.nDay, t.nHour, t.nMinute, t.nSecond);
    }
    for (std::size_t i = 0; i < m_attachments.size(); ++i) {
        const AttachFile& a = m_attachments[i];
        if (!CGDTUtils::IsFile(a.strSourcePath)) continue;  // its index is used up all the same
        const CString name = r + GetAttachClassfyName(static_cast<int>(i)) + CGDTUtils::GetFileExt(a.strSourcePath);
        const CString target = CGDTUtils::MakePath(config.m_strTempPath, name);
        if (CGDTUtils::IsFile(target)) CGDTUtils::DeleteFileA(target);
        if (CGDTUtils::CopyFileA(a.strSourcePath, target)) {
            result.AddFiles(GetAttachClassfyName(static_cast<int>(i)), a.strFormat, a.strDescription, name);
        }
    }
    for (const TestItem& t : m_tests) {
        result.AddTest(t.strTestID, t.dValue, t.dStandard, t.dLow, t.dHigh, t.strUnit);
    }
    for (const CString& text : m_resultTexts) result.AddResultsText(text);
    for (const CString& text : m_comments) result.AddComment(text);
    if (!result.Save(resultPath)) {
        CGDTUtils::AddLog("Failed to save the result file to a temporary folder.");
        return FALSE;
    }
    return TRUE;
}

int CGDTManager::UpdateResultFiles() {
    if (!VerifyShareFolder()) return FALSE;
    CGDTConfig config;
    const CString local = config.m_strReceiverShortName + config.m_strSenderShortName;
    const CString remote = config.m_strSenderShortName + config.m_strReceiverShortName;
    CStringArray results;
    CGDTUtils::GetFilesAsFileName(config.m_strTempPath, local, results);
    for (const CString& r : results) {
        const CString n = remote + CGDTUtils::GetFileExt(r);
        const CString shareResult = CGDTUtils::MakePath(config.m_strSharePath, r);
        const CString tempResult = CGDTUtils::MakePath(config.m_strTempPath, r);
        // A copy reported failed may have got there whole (its reply lost): the same bytes
        // count as copied, and its attachments went before it.
        bool bThere = false;
        if (CGDTUtils::IsFile(shareResult)) {
            if (!SameBytes(tempResult, shareResult)) {
                CGDTUtils::AddLog("The result file already exists in the shared folder.[%s]",
                                  shareResult.c_str());
                continue;
            }
            bThere = true;
        }
        // The order as the share holds it before its result goes: once the result is there,
        // this file is the one to remove, and another under the name is a new order.
        const CString shareOrder = CGDTUtils::MakePath(config.m_strSharePath, n);
        const CString keptOrder = CGDTUtils::MakePath(config.m_strTempPath, n);
        const ShareOrder order = LookAtOrder(shareOrder);
        if (order.ePresence == gdtfs::Presence::kUnknown) {
            CGDTUtils::AddLog("Can't access to shared folder.[%s]", config.m_strSharePath.c_str());
            continue;
        }
        const bool bAnswering = order.ePresence == gdtfs::Presence::kFile &&
                                (!CGDTUtils::IsFile(keptOrder) || SameBytes(keptOrder, shareOrder));
        CGDTSentence result;
        result.Load(tempResult);
        CStringArray attachments;
        result.GetFieldValues(FIELD_ARCHIVE_PATH, attachments);
        if (!bThere) {
            bool bCopied = true;
            for (const CString& a : attachments) {
                const CString tempA = CGDTUtils::MakePath(config.m_strTempPath, a);
                if (!CGDTUtils::IsFile(tempA))
                    continue;
                if (!CopyToShare(tempA, CGDTUtils::MakePath(config.m_strSharePath, a))) {
                    CGDTUtils::AddLog("Failed to copy the image files in a shared folder.");
                    bCopied = false;
                    break;
                }
                CGDTUtils::AddLog("Copy the image file to a shared folder.[%s]", a.c_str());
            }
            if (!bCopied)
                continue;
            if (!CGDTUtils::CopyFileA(tempResult, shareResult)) {
                CGDTUtils::AddLog("Failed to copy the result files in a shared folder.[%s]",
                                  r.c_str());
                continue;
            }
        }
        // Noted before the result leaves the temp folder: from then on only the note tells
        // the answered order from a new one under its name.
        if (bAnswering)
            WriteNote(CGDTUtils::MakePath(config.m_strTempPath, kDone + n), order.status);
        CGDTUtils::DeleteFileA(tempResult);
        for (const CString& a : attachments) CGDTUtils::DeleteFileA(CGDTUtils::MakePath(config.m_strTempPath, a));
        if (bAnswering) {
            RemoveAnsweredOrder(config, n, order.status, true);
        } else {
            CGDTUtils::DeleteFileA(keptOrder);  // gone from the share, or replaced by a new order
        }
        CGDTUtils::AddLog("Copy the result file to a shared folder.[%s]", r.c_str());
    }
    return TRUE;
}

int CGDTManager::VerifyShareFolder() {
    CGDTConfig config;
    return VerifyShareFolder(config.m_strSharePath, config.m_strNetworkUser, config.m_strNetworkPassword);
}

int CGDTManager::VerifyShareFolder(const CString& strPath, const CString& strUser, const CString& strPassword) {
    if (m_netDrives.Check(strPath, strUser, strPassword)) return TRUE;
    CGDTUtils::AddLog("Can't access to shared folder.[%s]", strPath.c_str());
    return FALSE;
}

int CGDTManager::RemoveAllFiles() {
    CGDTConfig config;
    return CGDTUtils::DeleteFilesInPath(config.m_strSharePath);
}

void CGDTManager::RemoveAllWaitOrderLists() {
    CGDTConfig config;
    CStringArray waits;
    CGDTUtils::GetFilesAsFileName(config.m_strTempPath,
                                  kWait + config.m_strSenderShortName + config.m_strReceiverShortName, waits);
    for (const CString& w : waits) {
        if (!CGDTUtils::DeleteFileA(CGDTUtils::MakePath(config.m_strTempPath, w))) {
            CGDTUtils::AddLog("Failed to delete wait order file in temporary folder.[%s]", w.c_str());
        }
    }
}

void CGDTManager::GetConfig(CString& strSharePath, CString& strUser, CString& strPassword,
                            CString& strReceiverName, CString& strSenderName,
                            CString& strReceiverShortName, CString& strSenderShortName,
                            CString& strDateFormat) {
    CGDTConfig c;
    strSharePath = c.m_strSharePath;
    strUser = c.m_strNetworkUser;
    strPassword = c.m_strNetworkPassword;
    strReceiverName = c.m_strReceiverName;
    strSenderName = c.m_strSenderName;
    strReceiverShortName = c.m_strReceiverShortName;
    strSenderShortName = c.m_strSenderShortName;
    strDateFormat = c.m_strDateFormat;
}

void CGDTManager::SetConfig(CString strSharePath, CString strUser, CString strPassword,
                            CString strReceiverName, CString strSenderName, CString strReceiverShortName,
                            CString strSenderShortName, CString strDateFormat) {
    CGDTConfig c;
    c.m_strSharePath = strSharePath;
    c.m_strNetworkUser = strUser;
    c.m_strNetworkPassword = strPassword;
    c.m_strReceiverName = strReceiverName;
    c.m_strSenderName = strSenderName;
    c.m_strReceiverShortName = strReceiverShortName;
    c.m_strSenderShortName = strSenderShortName;
    c.m_strDateFormat = strDateFormat;
    c.Save();
}
