#include "oxudcm/dcmtkdicomfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "dcmputs.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcpixel.h"
#include "dcmtk/dcmdata/dcpixseq.h"
#include "dcmtk/dcmdata/dcpxitem.h"
#include "platform/codepage.h"

namespace {
bool IsBinaryVr(DcmEVR vr) {
    switch (vr) {
        case EVR_OB: case EVR_OW: case EVR_OD: case EVR_OF: case EVR_OL: case EVR_OV:
        case EVR_UN: case EVR_ox: case EVR_px:
            return true;
        default:
            return false;
    }
}
bool IsTextVr(DcmEVR vr) {
    switch (vr) {
        case EVR_PN: case EVR_LO: case EVR_SH: case EVR_ST: case EVR_LT: case EVR_UT:
        case EVR_UC:
            return true;
        default:
            return false;
    }
}
std::string TagText(std::uint16_t g, std::uint16_t e) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "(%04X,%04X)", g, e);
    return sz;
}
mode_t CurrentUmask() {
    mode_t nMask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char sz[256];
        while (std::fgets(sz, sizeof sz, f)) {
            unsigned nValue = 0;
            if (std::sscanf(sz, "Umask: %o", &nValue) == 1) {
                nMask = static_cast<mode_t>(nValue);
                break;
            }
        }
        std::fclose(f);
    }
    return nMask;
}
std::string FolderOf(const std::string& strPath) {
    const std::size_t n = strPath.find_last_of('/');
    return n == std::string::npos ? std::string(".") : n == 0 ? std::string("/") : strPath.substr(0, n);
}
}  // namespace

bool CDcmTkDicomFile::BuildDataset(DcmDataset&, std::string& strError) const {
    strError = "no DICOM object to save";
    return false;
}

int CDcmTkDicomFile::InsertValues(const CDcmTkItemPtrArray& items) {
    int nTaken = 0;
    for (int i = 0; i < items.GetSize(); ++i) {
        const CDcmTkItem* p = items.GetAt(i);
        if (!p) {
            continue;
        }
        CInserted ins{p->m_nGroup, p->m_nElement, false, {}, {}};
        if (std::string(p->GetClassNameA()) == "CDcmTkItemBin") {
            ins.bBinary = true;
            if (p->GetValue() && p->GetValueLength() > 0) {
                ins.abBytes.assign(p->GetValue(), p->GetValue() + p->GetValueLength());
            }
        } else {
            ins.strText = p->GetText();
        }
        m_aInserted.push_back(std::move(ins));
        ++nTaken;
    }
    return nTaken;
}

bool CDcmTkDicomFile::InsertInto(DcmDataset& dataset, std::string& strError) const {
    for (const CInserted& ins : m_aInserted) {
        const DcmTagKey key(ins.nGroup, ins.nElement);
        DcmTag tag(key);
        const DcmEVR vr = tag.getVR().getEVR();
        const std::string strTag = TagText(ins.nGroup, ins.nElement);
        if (ins.nGroup == 0xFFFF || vr == EVR_UNKNOWN || vr == EVR_UNKNOWN2B ||
            (vr == EVR_UN && !tag.isPrivate() && std::string(tag.getTagName()) == "Unknown Tag & Data")) {
            strError = "no dictionary entry for " + strTag;
            return false;
        }
        if (vr == EVR_SQ || ins.nGroup <= 0x0002) {
            strError = strTag + " cannot be given as a value";
            return false;
        }
        if (ins.bBinary != IsBinaryVr(vr)) {
            strError = strTag + std::string(" (") + tag.getVR().getVRName() +
                       (ins.bBinary ? ") takes no bytes" : ") takes no text");
            return false;
        }
        OFCondition cond;
        if (ins.bBinary) {
            DcmTag put(key, vr == EVR_ox || vr == EVR_px ? DcmVR(EVR_OB) : tag.getVR());
            std::unique_ptr<DcmElement> pElem(DcmItem::newDicomElement(put));
            if (!pElem) {
                strError = "no element can be made for " + strTag;
                return false;
            }
            if (put.getEVR() == EVR_OW && ins.abBytes.size() % 2 != 0) {
                strError = strTag + " (OW) needs an even number of bytes";
                return false;
            }
            cond = ins.abBytes.empty()
                       ? pElem->putUint8Array(nullptr, 0)
                       : pElem->putUint8Array(ins.abBytes.data(),
                                              static_cast<unsigned long>(ins.abBytes.size()));
            if (cond.good()) {
                cond = dataset.insert(pElem.release(), OFTrue);
            }
        } else {
            const std::string strValue = IsTextVr(vr) ? platform::ToUtf8(ins.strText) : ins.strText;
            if (!strValue.empty() && !oxudcm::CheckValue(key, strValue, strError)) {
                return false;
            }
            cond = dataset.putAndInsertString(key, strValue.c_str(), OFTrue);
        }
        if (cond.bad()) {
            strError = strTag + ": " + cond.text();
            return false;
        }
    }
    return true;
}

int CDcmTkDicomFile::SaveAs(const char* pszPath, int nTransfer, int) {
    m_strLastError.clear();
    const std::string strPath = pszPath ? pszPath : "";
    if (strPath.empty() || strPath.back() == '/') {
        m_strLastError = "no file name to save to";
        return 0;
    }
    if (nTransfer != 2 && nTransfer != 4) {
        m_strLastError = "unknown transfer choice " + std::to_string(nTransfer);
        return 0;
    }
    DcmFileFormat file;
    DcmDataset& dataset = *file.getDataset();
    std::string strError;
    if (!BuildDataset(dataset, strError) || !InsertInto(dataset, strError)) {
        m_strLastError = strError;
        return 0;
    }
    const E_TransferSyntax xfer =
        m_picture.eKind == CPicture::kJpeg ? EXS_JPEGProcess1 : EXS_LittleEndianExplicit;

    // Beside the target, so that the rename is atomic; never a fixed name.
    std::string strTemp = FolderOf(strPath) + "/.oxudcm-XXXXXX";
    std::vector<char> szTemp(strTemp.begin(), strTemp.end());
    szTemp.push_back('\0');
    const int fd = mkstemp(szTemp.data());
    if (fd < 0) {
        m_strLastError = "cannot create a file in the folder of " + strPath;
        return 0;
    }
    // mkstemp makes the file private; the saved file gets the usual permissions.
    ::fchmod(fd, 0666 & ~CurrentUmask());
    ::close(fd);
    strTemp = szTemp.data();
    OFCondition cond = file.saveFile(strTemp.c_str(), xfer, EET_ExplicitLength, EGL_recalcGL,
                                     EPD_noChange, 0, 0, EWM_fileformat);
    bool bOk = cond.good();
    if (bOk) {
        const int fdSync = ::open(strTemp.c_str(), O_RDONLY | O_CLOEXEC);
        bOk = fdSync >= 0 && ::fsync(fdSync) == 0;
        if (fdSync >= 0) {
            ::close(fdSync);
        }
        if (!bOk) {
            m_strLastError = "cannot flush " + strTemp;
        }
    } else {
        m_strLastError = std::string("cannot write the DICOM file: ") + cond.text();
    }
    if (bOk && std::rename(strTemp.c_str(), strPath.c_str()) != 0) {
        m_strLastError = "cannot rename the DICOM file to " + strPath;
        bOk = false;
    }
    if (!bOk) {
        std::remove(strTemp.c_str());
        return 0;
    }
    return 1;
}
