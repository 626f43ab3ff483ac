#include "lindar/saveprompt.h"

#include "viewers/common/smallwindows.h"

CString AskEkgSavePath(QWidget* pParent, const CString& strProposed, std::array<int, 4>& flags) {
    CEkgFileDialog dlg(false, "jpg", QString::fromLocal8Bit(strProposed),
                       "JPEG Files (*.jpg);;PDF Files (*.pdf);;Dicom Files (*.dcm);;EKG Files (*.ekg);;"
                       "XML Files (*.xml)",
                       pParent);
    dlg.setObjectName("saveAsDialog");
    for (std::size_t i = 0; i < 4; ++i)
        dlg.m_options[i] = flags[i] ? 1 : 0;
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    for (std::size_t i = 0; i < 4; ++i)
        flags[i] = dlg.m_options[i] ? 1 : 0;
    return dlg.selectedFiles().first().toLocal8Bit().toStdString();
}
