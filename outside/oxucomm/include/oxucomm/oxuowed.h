#pragma once
// The work the ECG server owes its records, kept on disk. A record a device is answered
// "taken" for gets a marker in the hidden folder ".owed" of the storage folder, written
// and synced (with its folder) before the answer leaves; the marker goes once the work
// callback has finished the record (its database rows and follow-up steps). Whatever
// stands in that folder at a start is still owed: a kill, a crash, a power cut or a
// database that was away loses nothing.
//
// A marker is a small text file named after the record file, one "KEY=value" line each:
// KIND ("EKG" or "SPIRO"), PATH (the record file), ID (the patient ID the connection
// worked out), PEER (the device's address); "%", CR and LF in a value are written as
// "%25", "%0D", "%0A". Temporary files ("." + name + "." + six characters) are a killed
// writer's and are removed by Scan.
#include <functional>
#include <vector>

#include "platform/wintypes.h"

struct COxuOwed {
    CString m_strKind;
    CString m_strPath;
    CString m_strID;
    CString m_strPeer;
    CString m_strMarker;  // the marker file, set by Add and Scan
};

class COxuOwedRecords {
public:
    using LogFn = std::function<void(const CString&)>;

    // Markers in strStorage + "/.owed" (an empty storage folder is the current folder).
    explicit COxuOwedRecords(const CString& strStorage);
    const CString& GetFolder() const { return m_strFolder; }

    // Writes the record's marker durably; FALSE with the reason.
    BOOL Add(COxuOwed& owed, CString& strError) const;
    // Every marker in the folder, oldest first. A marker that cannot be read is logged and
    // left where it is.
    std::vector<COxuOwed> Scan(const LogFn& log = {}) const;
    // The record needs nothing more.
    void Remove(const COxuOwed& owed) const;

    static CString Encode(const COxuOwed& owed);
    static BOOL Decode(const CString& strText, COxuOwed& owed);

private:
    CString m_strStorage, m_strFolder;
};
