#include "acq_server/packetfilehandler.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

#include "acq_server/devicelink.h"
#include "acq_server/recordassembler.h"
#include "platform/folders.h"

using acq::Format;

namespace acq {

namespace {
// Time and extension with its dot: "_" is the patient part's end.
constexpr std::size_t kTimeAndExtension = 18;

CString WithSlash(const CString& strFolder) {
    if (strFolder.empty() || strFolder.back() == '/')
        return strFolder;
    return strFolder + "/";
}

CString ExtensionOf(const CString& strName) {
    const std::size_t nDot = strName.rfind('.');
    return nDot == CString::npos ? CString() : strName.substr(nDot + 1);
}

}  // namespace

const char* PacketKindFolder(const CString& strExtension) {
    static const struct {
        const char* pszExtension;
        const char* pszFolder;
    } kTable[] = {{"EKG", "EKG"}, {"jpg", "JPEG"}, {"mwf", "MFER"},
                  {"xml", "XML"}, {"pdf", "PDF"},  {"dcm", "DICOM"}};
    for (const auto& row : kTable)
        if (strcasecmp(strExtension.c_str(), row.pszExtension) == 0)
            return row.pszFolder;
    return "SPIRO";
}

BOOL IsSafeFileName(const CString& strName) {
    if (strName.empty() || strName == "." || strName == "..")
        return FALSE;
    return std::none_of(strName.begin(), strName.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 32 || b == 127 || c == '/' || c == '\\' || c == ':';
    });
}

CString PacketPatientID(const CString& strName) {
    if (strName.size() <= kTimeAndExtension)
        return CString();
    CString strID = strName.substr(0, strName.size() - kTimeAndExtension);
    strID.erase(std::remove(strID.begin(), strID.end(), '_'), strID.end());
    return strID;
}

BOOL MakePacketTarget(const CAcqSettings& settings, const CString& strName, CPacketTarget& target) {
    target = CPacketTarget();
    if (!IsSafeFileName(strName))
        return FALSE;
    const CString strWork = WithSlash(settings.m_strWorkingFolder);
    const CString strID = PacketPatientID(strName);
    CString strFolder = strWork;
    if (settings.m_nFolderType == 1 && !strID.empty()) {
        // The patient part names a folder: it must be a name inside the working folder.
        if (!IsSafeFileName(strID))
            return FALSE;
        strFolder = strWork + strID + "/";
    } else if (settings.m_nFolderType == 2) {
        strFolder = strWork + PacketKindFolder(ExtensionOf(strName)) + "/";
    }
    if (!strFolder.empty() && !platform::MakeDirs(strFolder))
        return FALSE;
    // Only a file is ever replaced: a folder or a link of that name stays as it is.
    struct stat st {};
    if (::lstat((strFolder + strName).c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return FALSE;
    target.m_strFolder = strFolder;
    target.m_strPath = strFolder + strName;
    // The conversions drop a record without an ID: a name without a patient part is
    // handed on under its title.
    target.m_strPatientID = strID.empty() ? FileTitle(strName) : strID;
    target.m_nKind = strcasecmp(ExtensionOf(strName).c_str(), "EKG") == 0 ? 1 : 2;
    return TRUE;
}

}  // namespace acq

CPacketFileHandler::CPacketFileHandler(CAcqContext& context) : m_context(context) {}

CPacketFileHandler::~CPacketFileHandler() = default;

void CPacketFileHandler::OnPacket(const TzPacket& packet, CDeviceLink& link) {
    if (packet.m_nTag == TZ_TAG_COMMAND) {
        OnCommand(packet, link);
    } else if (packet.m_nTag == TZ_TAG_DATA) {
        Log("CSecretarySocket::ParserCallback ------");
        OnData(packet);
    } else {
        Log(Format("ParserCallback  pPacketTag= %d", packet.m_nTag));
    }
}

void CPacketFileHandler::OnCommand(const TzPacket& packet, CDeviceLink& link) {
    switch (packet.m_nCommand) {
        case RESERVED_CMD_START:
            OnStart(packet, link);
            break;
        case RESERVED_CMD_FILE:
            OnFile(packet);
            break;
        case RESERVED_CMD_FINISH:
            OnFinish(link);
            break;
        default:
            Log(Format("\r\nUNKNOWN_CMD : %u", static_cast<unsigned>(packet.m_nCommand)));
            return;  // no acknowledgement
    }
    Acknowledge(packet, link);
}

void CPacketFileHandler::OnStart(const TzPacket& packet, CDeviceLink& link) {
    tz::TzStartInfo info;
    tz::ReadStart(packet, info);
    // The switch belongs to this connection: another device's acknowledgements keep theirs.
    link.State().m_bChecksum = info.m_nSwitch == 1;
    Log("RESERVED_CMD_START");
}

void CPacketFileHandler::OnFile(const TzPacket& packet) {
    tz::TzFileInfo info;
    tz::ReadFile(packet, info);
    m_strFileName = info.m_szName;
    m_nFileSize = info.m_nSize;
    Log("RESERVED_CMD_FILE");
    Log(Format("FILE=%s\r\nSIZE=%d", m_strFileName.c_str(), static_cast<int>(m_nFileSize)));
    // A second FILE ends the first transfer unfinished: its file is not kept.
    m_file.Discard();
    if (!acq::MakePacketTarget(m_context.m_settings, m_strFileName, m_target) ||
        !m_file.Open(m_target.m_strPath)) {
        m_target = acq::CPacketTarget();
        Log("File open Error");
    }
}

void CPacketFileHandler::OnData(const TzPacket& packet) {
    Log(Format("WRITE FILE : %d [ORDER = %d]", static_cast<int>(packet.m_nSize),
               static_cast<int>(packet.m_nDataValue)));
    if (!m_file.IsOpen())
        return;
    const std::vector<BYTE>& data = packet.m_value.m_abyBytes;
    // A failed write is remembered by the file; FINISH then refuses it.
    if (!data.empty() && !m_file.Write(data.data(), data.size()))
        Log(Format("File write Error: %s", m_target.m_strPath.c_str()));
}

void CPacketFileHandler::OnFinish(CDeviceLink& link) {
    Log("RESERVED_CMD_FINISH");
    if (!m_file.IsOpen()) {
        link.SendReply(acq::kReplyRefused, 0);
        Log("SendControlInfo2 TzFileError");
        return;
    }
    // Reply 6 means the file lies whole in its place (never over another file) and is kept.
    const BOOL bPlaced =
        m_file.CommitFree(m_context.Promise(m_target.m_nKind, m_target.m_strPatientID).get());
    CStoredRecord record;
    record.m_nKind = m_target.m_nKind;
    record.m_strPatientID = m_target.m_strPatientID;
    record.m_strPath = bPlaced ? CString(m_file.Target()) : m_target.m_strPath;
    record.m_bSame = m_file.IsSame();
    m_target = acq::CPacketTarget();
    auto answer = [this, &link, record](BOOL bTaken) {
        if (!bTaken) {
            link.SendReply(acq::kReplyRefused, 0);
            Log(Format("SendControlInfo2 TzFileError: %s", record.m_strPath.c_str()));
            return;
        }
        link.SendReply(acq::kReplyTaken, 0);
        m_context.Stored(record);
        Log("\r\nFinish=============================");
    };
    if (bPlaced)
        link.TakeRecord(record, answer);  // the link owns this handler: both live on or go
    else
        answer(FALSE);
}

void CPacketFileHandler::Acknowledge(const TzPacket& packet, CDeviceLink& link) {
    std::vector<BYTE> ack;
    const int n = tz::MakeAck(ack, static_cast<WORD>(packet.m_nCommand), link.State());
    if (n > 0)
        link.Send(ack.data(), static_cast<std::size_t>(n));
    Log(Format("\r\nACK Send Cmd : %x, val =%x", static_cast<unsigned>(packet.m_nCommand),
               static_cast<unsigned>(packet.m_value.m_nType)));
}

void InstallPacketFileHandler(CAcqContext& context) {
    context.m_packetFactory = [&context] { return std::make_unique<CPacketFileHandler>(context); };
}
