#pragma once
// What the socket library calls back. Every call comes on one of the library's own
// threads (the network thread for connections and records received, the work thread for
// the work callback and what it reports), never on the host's thread: a host that shares
// state with its callbacks guards it.
#include <cstdarg>
#include <vector>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class COxuBaseFile;

// The host's view of a server: connections, records received and messages.
class OXU_EXPORT COxuSocketCallback {
public:
    COxuSocketCallback() = default;
    virtual ~COxuSocketCallback() = default;
    COxuSocketCallback(const COxuSocketCallback&) = default;
    COxuSocketCallback& operator=(const COxuSocketCallback&) = default;

    virtual void OnAccept(LPCSTR /*lpszPeer*/) {}
    virtual void OnClose(LPCSTR /*lpszPeer*/) {}
    // A record was stored as a file and answered "taken" (type "EKG" or "SPIRO").
    virtual void OnReceive(LPCSTR /*lpszPeer*/, LPCSTR /*lpszType*/, LPCSTR /*lpszPath*/) {}
    virtual void MessageOut(LPCSTR /*lpszText*/) {}
};

// Base of the daily log files: formats and hands each line to the subclass.
class OXU_EXPORT COxuSocketLogger {
public:
    COxuSocketLogger() = default;
    virtual ~COxuSocketLogger() = default;
    COxuSocketLogger(const COxuSocketLogger&) = default;
    COxuSocketLogger& operator=(const COxuSocketLogger&) = default;

    void Log(LPCSTR lpszFormat, ...) __attribute__((format(printf, 2, 3)));
    virtual void Load() {}
    virtual void Empty() {}
    virtual void LogWrite(LPCSTR /*lpszText*/) {}

protected:
    virtual CString GetFileName() { return m_strFileName; }
    CString m_strFileName;
};

// Called on the work thread for the received records, which are owed until it finished
// them (oxuowed.h).
class OXU_EXPORT COxuSocketWorkCallback {
public:
    COxuSocketWorkCallback() = default;
    virtual ~COxuSocketWorkCallback() = default;
    COxuSocketWorkCallback(const COxuSocketWorkCallback&) = default;
    COxuSocketWorkCallback& operator=(const COxuSocketWorkCallback&) = default;

    // One record.
    virtual int Work(COxuBaseFile* /*pFile*/, COxuSocketCallback* /*pCallback*/,
                     COxuSocketLogger* /*pLogger*/) {
        return 0;
    }
    // The records that wait, all at once (one transaction where it can): abDone[i] set
    // when record i needs nothing more; a record left unfinished is given again later. By
    // default each record goes to Work once and is then finished.
    virtual void WorkAll(const std::vector<COxuBaseFile*>& apFiles, std::vector<BOOL>& abDone,
                         COxuSocketCallback* pCallback, COxuSocketLogger* pLogger) {
        for (std::size_t i = 0; i < apFiles.size(); ++i) {
            Work(apFiles[i], pCallback, pLogger);
            abDone[i] = TRUE;
        }
    }
    // From the host's thread while the server stops: while on, the work in progress gives
    // up at once (what it did not finish stays owed).
    virtual void Interrupt(BOOL /*bOn*/) {}
};
