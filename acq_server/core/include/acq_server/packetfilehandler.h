#pragma once
// Packet commands of one connection: a packet device opens a transfer with START, announces
// each finished file with FILE, sends its bytes in data packets and closes it with FINISH.
// In: the packets that the connection's parser completes (IPacketHandler). Out: the
// acknowledgements (0xFF04) and replies (0xFC 6/7 0 0xEF) through the connection's Send,
// the debug log lines, and each complete file handed to the context (m_onTaken before the
// reply, m_onStored after it) like a record received the legacy way (kind 1 for ".EKG" in
// any case, 2 for anything else).
//
// A file is written through a temporary file beside its target as its packets come and is
// renamed into place only at FINISH when every write succeeded: the end of the connection,
// a second FILE or a failed write leave no partial file. It never replaces another file: a
// name taken by other bytes gets a free one (title + "_2", ...), the same bytes again stay
// one file. A device-given name never places a file outside the working folder.
#include <memory>

#include "acq_server/acqcontext.h"
#include "platform/atomicfile.h"
#include "platform/wintypes.h"

class CDeviceLink;

namespace acq {
// Folder under the working folder for folder type 2, by the file's extension (without its
// dot, compared without regard to case): "EKG", "JPEG", "MFER", "XML", "PDF", "DICOM", else
// "SPIRO".
const char* PacketKindFolder(const CString& strExtension);
// Whether a device-given file name may be used as a name inside a folder: not empty, not
// "." or "..", no separator ("/" or "\"), no drive (":"), no control character.
BOOL IsSafeFileName(const CString& strName);
// Patient ID of a received file name: the name without its last 18 characters (time and
// extension) with every "_" removed; empty when the name has no patient part.
CString PacketPatientID(const CString& strName);

// Where a received file goes by the folder settings, worked out once at FILE.
struct CPacketTarget {
    CString m_strFolder;     // with a trailing "/"
    CString m_strPath;       // folder + name
    CString m_strPatientID;  // the ID handed on (the name's title when it has no patient part)
    int m_nKind = 2;         // 1 ECG (".EKG" in any case), 2 everything else
};
// FALSE (nothing created) when the name or the patient folder it asks for is refused, or
// the folder cannot be created.
BOOL MakePacketTarget(const CAcqSettings& settings, const CString& strName, CPacketTarget& target);
}  // namespace acq

class CPacketFileHandler : public IPacketHandler {
public:
    explicit CPacketFileHandler(CAcqContext& context);
    ~CPacketFileHandler() override;  // an unfinished file is discarded

    void OnPacket(const TzPacket& packet, CDeviceLink& link) override;

    BOOL IsFileOpen() const { return m_file.IsOpen(); }
    const CString& GetFileName() const { return m_strFileName; }
    DWORD GetFileSize() const { return m_nFileSize; }

private:
    void OnCommand(const TzPacket& packet, CDeviceLink& link);
    void OnData(const TzPacket& packet);
    void OnStart(const TzPacket& packet, CDeviceLink& link);
    void OnFile(const TzPacket& packet);
    void OnFinish(CDeviceLink& link);
    void Acknowledge(const TzPacket& packet, CDeviceLink& link);
    void Log(const CString& str) const { m_context.Log(str); }

    CAcqContext& m_context;
    platform::CAtomicFile m_file;
    acq::CPacketTarget m_target;
    CString m_strFileName;
    DWORD m_nFileSize = 0;
};

// The packet handler factory for CAcqContext::m_packetFactory.
void InstallPacketFileHandler(CAcqContext& context);
