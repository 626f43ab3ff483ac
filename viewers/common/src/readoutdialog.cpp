#include "viewers/common/readoutdialog.h"

#include <QFormLayout>

#include "oxuctrl/oxuctrl.h"

namespace {
CExEdit* MakeBox(QWidget* parent, int nId) {
    auto* e = new CExEdit(parent);
    e->setObjectName(QString::number(nId));
    e->SetBkColor(oxuctrl::kPaleField);
    e->SetTextColor(oxuctrl::kBlack);
    e->EnableKeyboardInput(FALSE);
    return e;
}
}  // namespace

CMeasureReadoutDialog::CMeasureReadoutDialog(QWidget* pParent) : QDialog(pParent, Qt::Tool) {
    setObjectName("143");
    setModal(false);
    auto* form = new QFormLayout(this);
    m_pWidth = MakeBox(this, IDC_WIDTH_MS);
    m_pRate = MakeBox(this, IDC_RATE_BPM);
    m_pHeight = MakeBox(this, IDC_HEIGHT_MM);
    form->addRow("ms", m_pWidth);
    form->addRow("bpm", m_pRate);
    form->addRow("mm", m_pHeight);
    Show();
}

CExEdit* CMeasureReadoutDialog::Box(int nId) const {
    switch (nId) {
        case IDC_WIDTH_MS:
            return m_pWidth;
        case IDC_RATE_BPM:
            return m_pRate;
        case IDC_HEIGHT_MM:
            return m_pHeight;
        default:
            return nullptr;
    }
}

void CMeasureReadoutDialog::Show() {
    m_pWidth->setText(QString::number(m_nWidth));
    m_pRate->setText(QString::number(m_nRate));
    m_pHeight->setText(QString::number(m_nHeight));
}

void CMeasureReadoutDialog::SetWidth(int nMs, int nBpm) {
    m_pWidth->setEnabled(true);
    m_pRate->setEnabled(true);
    m_pHeight->setEnabled(false);
    m_nWidth = nMs;
    m_nRate = nBpm;
    m_nHeight = 0;
    Show();
}

void CMeasureReadoutDialog::SetHeight(int nMm) {
    m_pWidth->setEnabled(false);
    m_pRate->setEnabled(false);
    m_pHeight->setEnabled(true);
    m_nWidth = 0;
    m_nRate = 0;
    m_nHeight = nMm;
    Show();
}
