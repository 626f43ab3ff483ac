#include "viewers/common/printdialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrinterInfo>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "oxuctrl/oxuctrl.h"
#include "viewers/common/smallwindows.h"

namespace {
QCheckBox* MakeFlag(QWidget* parent, int nId, const char* utf8) {
    auto* b = new QCheckBox(QString::fromUtf8(utf8), parent);
    b->setObjectName(QString::number(nId));
    return b;
}
CButtonST* MakeButton(QWidget* parent, int nId, const QString& text, UINT nBitmap) {
    auto* b = new CButtonST(parent);
    b->setObjectName(QString::number(nId));
    b->setText(text);
    if (nBitmap)
        b->SetBitmaps(vbmp::Load(nBitmap));
    return b;
}
}  // namespace

// CPrintDialogBase

CPrintDialogBase::CPrintDialogBase(QWidget* pParent, bool bParameters) : QDialog(pParent) {
    setObjectName("140");
    setWindowTitle("Imprimir");
    auto* lay = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    m_pPrinter = new CExComboBox(this);
    m_pPrinter->setObjectName(QString::number(IDC_PRINTER));
    m_pPrinter->SetBkColor(oxuctrl::kPaleField);
    m_pPrinter->SetTextColor(oxuctrl::kBlack);
    auto* props = MakeButton(this, IDC_PROPERTIES, "Propriedades...", 0);
    m_pCopies = new CExEdit(this);
    m_pCopies->setObjectName(QString::number(IDC_COPIES));
    m_pCopies->SetBkColor(oxuctrl::kPaleField);
    m_pCopies->SetTextColor(oxuctrl::kBlack);
    m_pCopies->EnableKeyboardInput(TRUE);
    m_pCopies->setValidator(new QIntValidator(1, 999, m_pCopies));
    top->addWidget(new QLabel("Impressora:", this), 0, 0);
    top->addWidget(m_pPrinter, 0, 1);
    top->addWidget(props, 0, 2);
    top->addWidget(new QLabel("Cópias:", this), 1, 0);
    top->addWidget(m_pCopies, 1, 1);
    lay->addLayout(top);

    m_pFlags = new QWidget(this);
    auto* flags = new QVBoxLayout(m_pFlags);
    m_pInterpretation = MakeFlag(m_pFlags, IDC_INTERPRETATION, "Resultado Automático");
    flags->addWidget(m_pInterpretation);
    if (bParameters) {
        m_pParameters = MakeFlag(m_pFlags, IDC_PARAMETERS, "Parâmetros");
        flags->addWidget(m_pParameters);
    }
    m_pComments = MakeFlag(m_pFlags, IDC_COMMENTS, "Comentários");
    flags->addWidget(m_pComments);
    if (bParameters) {
        m_pPacemaker = MakeFlag(m_pFlags, IDC_PACEMAKER, "Marcapasso");
        flags->addWidget(m_pPacemaker);
    }
    lay->addWidget(m_pFlags);

    m_pOk = MakeButton(this, 1, "OK", vbmp::IDB_OK);
    m_pCancel = MakeButton(this, 2, "Cancelar", vbmp::IDB_CANCEL);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_pOk);
    buttons->addWidget(m_pCancel);
    lay->addLayout(buttons);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(props, &QPushButton::clicked, this, &CPrintDialogBase::OnProperties);
    m_runProperties = [this](QPrinter& printer) {
        QPageSetupDialog dlg(&printer, this);
        dlg.exec();
    };
}

void CPrintDialogBase::LoadPrinters() {
    m_pPrinter->clear();
    const QString def = QPrinterInfo::defaultPrinterName();
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        m_pPrinter->addItem(name);
    const int n = m_pPrinter->findText(m_strPrinter.isEmpty() ? def : m_strPrinter);
    m_pPrinter->setCurrentIndex(n >= 0 ? n : (m_pPrinter->count() ? 0 : -1));
}

void CPrintDialogBase::OnProperties() {
    if (m_pPrinter->currentIndex() < 0)
        return;
    m_printer.setPrinterName(m_pPrinter->currentText());
    m_printer.setCopyCount(std::max(1, m_pCopies->text().toInt()));
    if (m_runProperties)
        m_runProperties(m_printer);
    m_pCopies->setText(QString::number(m_printer.copyCount()));
}

void CPrintDialogBase::BaseLoad() {
    LoadPrinters();
    m_pCopies->setText(QString::number(std::max(1, m_nCopies)));
    m_pInterpretation->setChecked(m_bPrintInterpretation != 0);
    m_pComments->setChecked(m_bPrintComments != 0);
}

bool CPrintDialogBase::BaseStore() {
    m_bPrintInterpretation = m_pInterpretation->isChecked() ? 1 : 0;
    m_bPrintComments = m_pComments->isChecked() ? 1 : 0;
    m_strPrinter = m_pPrinter->currentText();
    m_nCopies = std::max(1, m_pCopies->text().toInt());
    m_printer.setPrinterName(m_strPrinter);
    m_printer.setCopyCount(m_nCopies);
    return true;
}

// CEkgPrintDialog

CEkgPrintDialog::CEkgPrintDialog(QWidget* pParent) : CPrintDialogBase(pParent, true) {
    auto* group = new QGroupBox(QString::fromUtf8("Opções de Impressão do Exame"), this);
    auto* grid = new QGridLayout(group);
    m_pMonochrome = MakeFlag(group, IDC_MONOCHROME, "Monocromático");
    grid->addWidget(m_pMonochrome, 0, 0, 1, 4);
    static const char* const kNames[3] = {"Estilo da Grade 1", "Estilo da Grade 2",
                                          "Estilo do Traçado de ECG"};
    for (int g = 0; g < 3; ++g) {
        const int base = IDC_GRID1_COLOUR + 3 * g;  // colour, width list, style list
        grid->addWidget(new QLabel(QString::fromUtf8(kNames[g]), group), g + 1, 0);
        m_pickers[size_t(g)] = new CColourPicker(group);
        m_pickers[size_t(g)]->setObjectName(QString::number(base));
        m_widths[size_t(g)] = new CComboBoxLine(group);
        m_widths[size_t(g)]->setObjectName(QString::number(base + 1));
        m_styles[size_t(g)] = new CComboBoxLine(group);
        m_styles[size_t(g)]->setObjectName(QString::number(base + 2));
        grid->addWidget(m_pickers[size_t(g)], g + 1, 1);
        grid->addWidget(m_widths[size_t(g)], g + 1, 2);
        grid->addWidget(m_styles[size_t(g)], g + 1, 3);
    }
    Flags()->layout()->addWidget(group);
    connect(m_pMonochrome, &QCheckBox::clicked, this, &CEkgPrintDialog::OnMonochromeClicked);
}

void CEkgPrintDialog::Load() {
    m_bLoaded = true;
    BaseLoad();
    m_pParameters->setChecked(m_bPrintParameters != 0);
    m_pPacemaker->setChecked(m_bPrintPacemaker != 0);
    m_pMonochrome->setChecked(m_bMonochrome != 0);
    for (size_t g = 0; g < 3; ++g) {
        m_styles[g]->Initialize(1, 0);
        for (int s = 0; s < 5; ++s)
            m_styles[g]->AddLine(s, 0);
        // A width's sample is a solid line of that width, as in the colour bars' lists.
        m_widths[g]->Initialize(0, 0);
        for (int w = 0; w < 7; ++w)
            m_widths[g]->AddLine(0, w);
        m_styles[g]->setCurrentIndex(m_pens[g].nStyle);
        m_widths[g]->setCurrentIndex(m_pens[g].nWidth);
        m_pickers[g]->SetColour(m_pens[g].crColour);
    }
}

void CEkgPrintDialog::showEvent(QShowEvent* e) {
    if (!m_bLoaded)
        Load();
    CPrintDialogBase::showEvent(e);
}

void CEkgPrintDialog::OnMonochromeClicked() {
    const bool bOn = !m_pMonochrome->isChecked();
    for (size_t g = 0; g < 3; ++g) {
        m_pickers[g]->setEnabled(bOn);
        m_widths[g]->setEnabled(bOn);
        m_styles[g]->setEnabled(bOn);
    }
}

void CEkgPrintDialog::accept() {
    m_bPrintParameters = m_pParameters->isChecked() ? 1 : 0;
    m_bPrintPacemaker = m_pPacemaker->isChecked() ? 1 : 0;
    m_bMonochrome = m_pMonochrome->isChecked() ? 1 : 0;
    if (m_bMonochrome) {
        m_pens = kMonochromePens;
    } else {
        for (size_t g = 0; g < 3; ++g) {
            // Nothing selected: a solid pen, one unit wide.
            const int s = m_styles[g]->currentIndex();
            const int w = m_widths[g]->currentIndex();
            m_pens[g] = {s < 0 ? 0 : s, w < 0 ? 1 : w, m_pickers[g]->GetColour()};
        }
    }
    BaseStore();
    CPrintDialogBase::accept();
}

// CSpiroPrintDialog

CSpiroPrintDialog::CSpiroPrintDialog(QWidget* pParent) : CPrintDialogBase(pParent, false) {}

void CSpiroPrintDialog::Load() {
    m_bLoaded = true;
    BaseLoad();
}

void CSpiroPrintDialog::showEvent(QShowEvent* e) {
    if (!m_bLoaded)
        Load();
    CPrintDialogBase::showEvent(e);
}

void CSpiroPrintDialog::accept() {
    BaseStore();
    CPrintDialogBase::accept();
}
