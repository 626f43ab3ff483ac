#pragma once
// The work the ECG server owes its records, kept on disk. A record file gets a marker in
// the hidden folder ".owed" of the storage folder, written and synced (with its folder)
// before the file takes its name in the storage folder (Keep), and so before its device
// is answered; the marker goes once the work callback has finished the record (its
// database rows and follow-up steps). Whatever stands in that folder at a start is still
// owed: a stop, a kill, a crash, a power cut or a database that was away loses nothing. A
// marker whose file never took its name is dropped by the work thread (the file is gone).
//
// A marker is a small text file named after the record file, one "KEY=value" line each:
// KIND ("EKG" or "SPIRO"), PATH (the record file), ID (the patient ID the connection
// worked out), PEER (the device's address); "%", CR and LF in a value are written as
// "%25", "%0D", "%0A". A marker is written under a temporary name that starts with ":",
// which no record file name holds; Scan removes those a killed writer left, and the
// temporary files of older versions ("." + name + "." + six letters or digits).
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

    // Writes the record's marker durably (over one of that name); FALSE with the reason.
    BOOL Add(COxuOwed& owed, CString& strError) const;
    // The same for a file about to take its name, never over another marker: 0, EEXIST
    // when a marker of that name stands (the name is spoken for), else the error.
    int Keep(COxuOwed& owed, CString& strError) const;
    // Every marker in the folder, oldest first. A marker that cannot be read is logged and
    // left where it is.
    std::vector<COxuOwed> Scan(const LogFn& log = {}) const;
    // The record needs nothing more.
    void Remove(const COxuOwed& owed) const;

    static CString Encode(const COxuOwed& owed);
    static BOOL Decode(const CString& strText, COxuOwed& owed);

private:
    std::vector<CString> Names() const;
    int Write(COxuOwed& owed, bool bReplace, CString& strError) const;
    // An older version's temporary file: its marker when it was whole, else nothing.
    void TakeOldTemporary(const CString& strPath, const CString& strText, const LogFn& log) const;

    CString m_strStorage, m_strFolder;
};
