#include "lindar/displaybars.h"
#include "lindar/lindarbitmaps.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
QComboBox* MakeList(QWidget* pParent, QHBoxLayout* pLayout, const char* pszLabel,
                    std::initializer_list<std::pair<const char*, int>> entries) {
    pLayout->addWidget(new QLabel(QString::fromUtf8(pszLabel), pParent));
    auto* p = new QComboBox(pParent);
    for (auto [text, code] : entries)
        p->addItem(QString::fromUtf8(text), code);
    pLayout->addWidget(p);
    return p;
}
}  // namespace

CToolbarBar::CToolbarBar(DisplayMessage send, std::function<void(unsigned)> command,
                         QWidget* pParent)
    : CExDialogBar(pParent), m_send(std::move(send)) {
    setObjectName("toolbarBar");
    auto* pLayout = new QHBoxLayout(this);
    m_pFormat = MakeList(this, pLayout,
                         "Formato:", {{"12Ch", 0}, {"6Ch+1", 1}, {"3Ch+1", 2}, {"Beat Report", 3}});
    m_pRhythm = MakeList(this, pLayout, "Ritmo :",
                         {{"LEAD: I", 0},
                          {"LEAD: II", 1},
                          {"LEAD: III", 2},
                          {"LEAD: aVR", 3},
                          {"LEAD: aVL", 4},
                          {"LEAD: aVF", 5},
                          {"LEAD: V1", 6},
                          {"LEAD: V2", 7},
                          {"LEAD: V3", 8},
                          {"LEAD: V4", 9},
                          {"LEAD: V5", 10},
                          {"LEAD: V6", 11}});
    m_pGain = MakeList(
        this, pLayout,
        "Ganho:", {{"Auto", 0}, {"2.5mm/mV", 1}, {"5mm/mV", 2}, {"10mm/mV", 3}, {"20mm/mV", 4}});
    m_pSpeed = MakeList(this, pLayout,
                        "Velocidade:", {{"12.5mm/sec", 1}, {"25mm/sec ", 2}, {"50mm/sec", 4}});
    m_pFormat->setCurrentIndex(1);
    m_pRhythm->setCurrentIndex(1);
    m_pGain->setCurrentIndex(2);
    m_pSpeed->setCurrentIndex(1);
    auto button = [&](const char* text, unsigned id) {
        auto* p = new QPushButton(QString::fromUtf8(text), this);
        p->setObjectName(QString::number(id));
        p->setCheckable(true);
        pLayout->addWidget(p);
        return p;
    };
    m_pRuler = button("Régua", ID_RULER);
    m_pMagnifier = button("Lupa", ID_MAGNIFIER);
    m_pPacemaker = button("Marcapasso", ID_PACEMAKER);
    // The buttons are the frame's commands; their checks follow the frame's update pass.
    SetCommandTarget(std::move(command));
    for (UINT id : {ID_RULER, ID_MAGNIFIER, ID_PACEMAKER, ID_EXTRA})
        AddUpdateCmdID(id);
    m_pRuler->setIcon(lindar::BitmapIcon(lindar::IDB_RULER));
    m_pMagnifier->setIcon(lindar::BitmapIcon(lindar::IDB_MAGNIFIER));
    m_pPacemaker->setIcon(lindar::BitmapIcon(lindar::IDB_PACEMAKER));
    connect(m_pFormat, &QComboBox::activated, this, [this](int n) { ChooseFormat(n); });
    connect(m_pRhythm, &QComboBox::activated, this, [this](int n) { ChooseRhythm(n); });
    connect(m_pGain, &QComboBox::activated, this, [this](int n) { ChooseGain(n); });
    connect(m_pSpeed, &QComboBox::activated, this, [this](int n) { ChooseSpeed(n); });
}

void CToolbarBar::ChooseFormat(int n) {
    if (n < 0)
        return;
    const int nCode = m_pFormat->itemData(n).toInt();
    if (m_bMonitoring && nCode == 3) {
        m_pFormat->setCurrentIndex(m_nLastFormat);
        return;
    }
    m_nLastFormat = n;
    m_pFormat->setCurrentIndex(n);
    m_pRhythm->setEnabled(nCode != 0 && nCode != 3);
    m_send(1, nCode);
}
void CToolbarBar::ChooseRhythm(int n) {
    if (n >= 0) {
        m_pRhythm->setCurrentIndex(n);
        m_send(2, m_pRhythm->itemData(n).toInt());
    }
}
void CToolbarBar::ChooseGain(int n) {
    if (n >= 0) {
        m_pGain->setCurrentIndex(n);
        m_send(3, m_pGain->itemData(n).toInt());
    }
}
void CToolbarBar::ChooseSpeed(int n) {
    if (n >= 0) {
        m_pSpeed->setCurrentIndex(n);
        m_send(4, m_pSpeed->itemData(n).toInt());
    }
}

void CToolbarBar::SelectByCode(QComboBox* p, int nCode) {
    const int n = p->findData(nCode);
    if (n >= 0)
        p->setCurrentIndex(n);
}
void CToolbarBar::SelectFormat(int nCode) {
    const int n = m_pFormat->findData(nCode);
    if (n < 0)
        return;
    m_pFormat->setCurrentIndex(n);
    m_nLastFormat = n;
    m_pRhythm->setEnabled(nCode != 0);
}
void CToolbarBar::SelectRhythm(int nCode) {
    SelectByCode(m_pRhythm, nCode);
}
void CToolbarBar::SelectGain(int nCode) {
    SelectByCode(m_pGain, nCode);
}
void CToolbarBar::SelectSpeed(int nCode) {
    SelectByCode(m_pSpeed, nCode);
}

void CToolbarBar::SetMonitoring(bool bOn) {
    if (bOn == m_bMonitoring)
        return;
    m_bMonitoring = bOn;
    if (bOn) {
        SelectFormat(0);
        SelectSpeed(2);
        m_pRuler->setChecked(false);
        m_pMagnifier->setChecked(false);
    }
    m_pFormat->setEnabled(!bOn);
    m_pRuler->setEnabled(!bOn);
    m_pMagnifier->setEnabled(!bOn);
}

CColourBar::CColourBar(DisplayMessage send, std::function<void(unsigned)> command, QWidget* pParent)
    : CExDialogBar(pParent), m_send(std::move(send)) {
    setObjectName("colourBar");
    auto* pLayout = new QHBoxLayout(this);
    auto* pDefault = new QPushButton(QString::fromUtf8("Padrão"), this);
    pDefault->setObjectName(QString::number(ID_DEFAULT));
    pLayout->addWidget(pDefault);
    auto picker = [this, pLayout](UINT nId, int nItem, const char* pszLabel) {
        pLayout->addWidget(new QLabel(QString::fromUtf8(pszLabel), this));
        auto* p = new CColourPicker(this);
        p->setObjectName(QString::number(nId));
        connect(p, &CColourPicker::colourPicked, this,
                [this, nItem](unsigned cr) { m_send(nItem, int(cr)); });
        pLayout->addWidget(p);
        return p;
    };
    m_pBack = picker(IDC_BACK, 20, "Fundo");
    const char* names[] = {"Grade1", "Grade 2", "ECG"};
    const UINT ids[3][3] = {{IDC_GRID1, IDC_GRID1_STYLE, IDC_GRID1_WIDTH},
                            {IDC_GRID2, IDC_GRID2_STYLE, IDC_GRID2_WIDTH},
                            {IDC_TRACE, IDC_TRACE_STYLE, IDC_TRACE_WIDTH}};
    for (int pen = 0; pen < 3; ++pen) {
        m_pPickers[pen] = picker(ids[pen][0], 5 + 3 * pen, names[pen]);
        // Entry i of a style list is pen style i, of a width list width i + 1: each sample is
        // drawn with the pen it gives (the first ones are the view's default pens).
        m_pStyles[pen] = new CComboBoxLine(this);
        m_pStyles[pen]->setObjectName(QString::number(ids[pen][1]));
        m_pStyles[pen]->Initialize(1);
        for (int nStyle = 0; nStyle < 5; ++nStyle)
            m_pStyles[pen]->AddLine(nStyle, 1);
        m_pWidths[pen] = new CComboBoxLine(this);
        m_pWidths[pen]->setObjectName(QString::number(ids[pen][2]));
        m_pWidths[pen]->Initialize(0);
        for (int nWidth = 1; nWidth <= 7; ++nWidth)
            m_pWidths[pen]->AddLine(0, nWidth);
        for (CComboBoxLine* p : {m_pStyles[pen], m_pWidths[pen]}) {
            for (int n = 0; n < p->count(); ++n)
                p->setItemData(n, QSize(64, 14), Qt::SizeHintRole);
            pLayout->addWidget(p);
        }
        connect(m_pStyles[pen], &QComboBox::activated, this,
                [this, pen](int n) { ChooseStyle(pen, n); });
        connect(m_pWidths[pen], &QComboBox::activated, this,
                [this, pen](int n) { ChooseWidth(pen, n); });
    }
    SetCommandTarget(std::move(command));
    AddUpdateCmdID(ID_DEFAULT);
    SetDefaults();
}

CColourPicker* CColourBar::Picker(int nItem) const {
    switch (nItem) {
        case 5:
            return m_pPickers[0];
        case 8:
            return m_pPickers[1];
        case 11:
            return m_pPickers[2];
        case 20:
            return m_pBack;
        default:
            return nullptr;
    }
}

void CColourBar::PickColour(int nItem, COLORREF cr) {
    // As a pick in the picker's dialog: the picker shows it and the view is told.
    if (CColourPicker* p = Picker(nItem))
        p->Pick(cr);
}

// Entry i of a style list is pen style i (the first is the view's solid default); entry i
// of a width list is width i + 1 (the first is the view's default width 1).
void CColourBar::ChooseStyle(int nPen, int nIndex) {
    if (nIndex < 0)
        return;
    m_pStyles[nPen]->setCurrentIndex(nIndex);
    m_send(6 + 3 * nPen, nIndex);
}
void CColourBar::ChooseWidth(int nPen, int nIndex) {
    if (nIndex < 0)
        return;
    m_pWidths[nPen]->setCurrentIndex(nIndex);
    m_send(7 + 3 * nPen, nIndex + 1);
}

void CColourBar::SetDefaults() {
    m_pBack->SetColour(kDefaultBack);
    m_pPickers[0]->SetColour(kDefaultGrid1);
    m_pPickers[1]->SetColour(kDefaultGrid2);
    m_pPickers[2]->SetColour(kDefaultTrace);
    for (int pen = 0; pen < 3; ++pen) {
        m_pStyles[pen]->setCurrentIndex(0);
        m_pWidths[pen]->setCurrentIndex(0);
    }
}

void CColourBar::LockPens() {
    for (int pen = 0; pen < 3; ++pen) {
        m_pStyles[pen]->setCurrentIndex(0);
        m_pWidths[pen]->setCurrentIndex(0);
        m_pStyles[pen]->setEnabled(false);
        m_pWidths[pen]->setEnabled(false);
        m_send(6 + 3 * pen, 0);
        m_send(7 + 3 * pen, 1);
    }
}

void CColourBar::UnlockPens() {
    for (int pen = 0; pen < 3; ++pen) {
        m_pStyles[pen]->setEnabled(true);
        m_pWidths[pen]->setEnabled(true);
    }
}
