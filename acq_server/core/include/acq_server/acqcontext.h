#pragma once
// What the device connections need of the rest of the server: the folder settings, the
// main frame's device option field, the hand-over of a stored record to the conversions,
// the spirometry record container (the server's own by default) and the packet command
// handling (supplied later), the clock and the debug log. One context is shared by every
// connection of a server; everything of a record or of the protocol lives in the connection
// itself.
#include <ctime>
#include <functional>
#include <memory>

#include "acq_server/acqlog.h"
#include "platform/wintypes.h"

namespace platform {
class IPlacePromise;
}

class CEkgRecordBuilder;
class CDeviceLink;
class CSpiroTestFile;
struct TzPacket;
struct CAcqContext;

// Server settings the connections read (taken as plain values until the settings store
// of the server exists).
struct CAcqSettings {
    CString m_strWorkingFolder;  // "Working Folder"
    int m_nFolderType = 0;       // "FOLDER TYPE": 0 flat, 1 a folder per patient, 2 per kind
};

// Spirometry record container of one record; the connection creates one per record and
// hands it the device's messages and frames.
class ISpiroRecord {
public:
    virtual ~ISpiroRecord() = default;
    virtual void Reset() = 0;
    // Legacy tagged message of a spirometry record (tag, the whole message).
    virtual void AddDeviceMessage(BYTE nTag, const BYTE* pMessage, std::size_t nLength) = 0;
    // Frame 0xFD 0xB0 (header) and 0xB1..0xBC (data) for transfer option 1..3.
    virtual void SetFrameHeader(int nOption, const BYTE* pFrame, std::size_t nLength) = 0;
    virtual void AddFrameData(int nOption, BYTE nSubType, const BYTE* pFrame,
                              std::size_t nLength) = 0;
    // Test type of the record (1, 4, 5 FVC; 2 SVC; 3 MVV); 0 while unknown.
    virtual int GetTestType() const = 0;
    // Writes the test file by the folder settings, never over another file (a name taken
    // by other bytes gets a free one); TRUE with its path and the patient ID only when the
    // whole file was written, else FALSE with the path it was to take and the reason.
    // bSame: the same bytes already lay there (a test sent again).
    virtual BOOL Save(const CAcqContext& context, CString& strPath, CString& strPatientID,
                      BOOL& bSame, CString& strReason) = 0;
    // The record as the spirometry conversion reads it; null when there is none.
    virtual const CSpiroTestFile* GetTestFile() const = 0;
};

// The server's spirometry record (spiroassembler.cpp).
std::unique_ptr<ISpiroRecord> MakeSpiroRecord();

// Packet command handling of one connection (reserved commands, file transfer).
class IPacketHandler {
public:
    virtual ~IPacketHandler() = default;
    virtual void OnPacket(const TzPacket& packet, CDeviceLink& link) = 0;
};

// A record that was stored completely, as the conversions receive it.
struct CStoredRecord {
    int m_nKind = 0;  // 1 ECG, 2 spirometry
    CString m_strPatientID;
    CString m_strPath;
    // The same bytes already lay under that name: a device sent the record again.
    BOOL m_bSame = FALSE;
    const CEkgRecordBuilder* m_pEkg = nullptr;  // ECG: the connection's builder
    ISpiroRecord* m_pSpiro = nullptr;           // spirometry: the record's container
};

// A record received whole that could not be stored: the file it was to be and the system's
// reason ("No space left on device"). A device that waits for an answer is refused it; a
// legacy device hears nothing, so this is all that tells of that record.
struct CFailedRecord {
    CString m_strPath;
    CString m_strReason;
    CString Text() const {
        return "Record file cannot be written: " + m_strPath + " (" + m_strReason + ")";
    }
};

struct CAcqContext {
    CAcqSettings m_settings;
    // The main frame's device option field (set by 0x24 messages and 0xFA frames).
    BYTE m_nDeviceOption = 0;
    // A record lies whole in its place: m_onTaken keeps it (the owed work on disk) and then
    // calls done(kept), at once or later on the connections' thread; its device is answered
    // only then, and refused (7) when it was not kept. m_onStored runs once the device was
    // answered. Both run for records that get no answer too (legacy carts and spirometers, a
    // connection that went while its record was put in place).
    std::function<void(const CStoredRecord&, std::function<void(BOOL)> done)> m_onTaken;
    std::function<void(const CStoredRecord&)> m_onStored;
    // A record that could not be stored, told after its line in the debug log.
    std::function<void(const CFailedRecord&)> m_onFailed;
    // Empty: spirometry records are refused (frame mode) or dropped (legacy).
    std::function<std::unique_ptr<ISpiroRecord>()> m_spiroFactory = &MakeSpiroRecord;
    std::function<std::unique_ptr<IPacketHandler>()> m_packetFactory;
    // Runs the slow last step of a record file (sync and rename) away from the connections'
    // thread, so that the syncs of several records overlap, and calls done(result) back on
    // the connections' thread. Empty: the step runs in place.
    std::function<void(std::function<bool()> work, std::function<void(bool)> done)> m_commit;
    // Write-ahead of a record file (kind 1 ECG, 2 spirometry, with the patient ID worked
    // out): what the promise keeps for a name is durable before the file takes that name,
    // so that no moment of a stop, kill or power cut leaves a file in its place without
    // its owed work. Empty, or a null promise: the file is placed as it is.
    std::function<std::shared_ptr<platform::IPlacePromise>(int nKind, const CString& strID)>
        m_promise;
    // Local time of "now"; std::time by default, fixed by tests.
    std::function<std::time_t()> m_clock;
    LogSink m_log;

    void Take(const CStoredRecord& record, std::function<void(BOOL)> done) const {
        if (m_onTaken)
            m_onTaken(record, std::move(done));
        else
            done(TRUE);
    }
    void Stored(const CStoredRecord& record) const {
        if (m_onStored)
            m_onStored(record);
    }
    // A record whose device waits for no answer and whose connection is gone: taken, then
    // stored.
    void HandOn(const CStoredRecord& record) const {
        Take(record, [this, record](BOOL bTaken) {
            if (bTaken)
                Stored(record);
        });
    }
    void Failed(const CFailedRecord& record) const {
        Log(record.Text());
        if (m_onFailed)
            m_onFailed(record);
    }
    std::shared_ptr<platform::IPlacePromise> Promise(int nKind, const CString& strID) const {
        return m_promise ? m_promise(nKind, strID) : nullptr;
    }
    void Log(const CString& str) const {
        if (m_log)
            m_log(str);
    }
    std::time_t Now() const { return m_clock ? m_clock() : std::time(nullptr); }
};
