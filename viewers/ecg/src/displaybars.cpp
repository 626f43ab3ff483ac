#include "lindar/displaybars.h"
#include "lindar/lindarbitmaps.h"

#include <QColorDialog>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
QComboBox* MakeList(QWidget* pParent, QHBoxLayout* pLayout, const char* pszLabel,
                    std::initializer_list<std::pair<const char*, int>> entries) {
    pLayout->addWidget(new QLabel(QString::fromUtf8(pszLabel), pParent));
    auto* p = new QComboBox(pParent);
    for (auto [text, code] : entries) p->addItem(QString::fromUtf8(text), code);
    pLayout->addWidget(p);
    return p;
}
}  // namespace

CToolbarBar::CToolbarBar(DisplayMessage send, std::function<void(unsigned)> command, QWidget* pParent)
    : QWidget(pParent), m_send(std::move(send)) {
    setObjectName("toolbarBar");
    auto* pLayout = new QHBoxLayout(this);
    m_pFormat = MakeList(this, pLayout, "Formato:", {{"12Ch", 0}, {"6Ch+1", 1}, {"3Ch+1", 2}, {"Beat Report", 3}});
    m_pRhythm = MakeList(this, pLayout, "Ritmo :",
                         {{"LEAD: I", 0}, {"LEAD: II", 1}, {"LEAD: III", 2}, {"LEAD: aVR", 3}, {"LEAD: aVL", 4},
                          {"LEAD: aVF", 5}, {"LEAD: V1", 6}, {"LEAD: V2", 7}, {"LEAD: V3", 8}, {"LEAD: V4", 9},
                          {"LEAD: V5", 10}, {"LEAD: V6", 11}});
    m_pGain = MakeList(this, pLayout, "Ganho:",
                       {{"Auto", 0}, {"2.5mm/mV", 1}, {"5mm/mV", 2}, {"10mm/mV", 3}, {"20mm/mV", 4}});
    m_pSpeed = MakeList(this, pLayout, "Velocidade:", {{"12.5mm/sec", 1}, {"25mm/sec ", 2}, {"50mm/sec", 4}});
    m_pFormat->setCurrentIndex(1);
    m_pRhythm->setCurrentIndex(1);
    m_pGain->setCurrentIndex(2);
    m_pSpeed->setCurrentIndex(1);
    auto button = [&](const char* text, unsigned id) {
        auto* p = new QPushButton(QString::fromUtf8(text), this);
        p->setCheckable(true);
        connect(p, &QPushButton::clicked, this, [command, id] { command(id); });
        pLayout->addWidget(p);
        return p;
    };
    m_pRuler = button("Régua", 32793);
    m_pMagnifier = button("Lupa", 32806);
    m_pPacemaker = button("Marcapasso", 32808);
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
void CToolbarBar::SelectRhythm(int nCode) { SelectByCode(m_pRhythm, nCode); }
void CToolbarBar::SelectGain(int nCode) { SelectByCode(m_pGain, nCode); }
void CToolbarBar::SelectSpeed(int nCode) { SelectByCode(m_pSpeed, nCode); }

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
    : QWidget(pParent), m_send(std::move(send)) {
    setObjectName("colourBar");
    auto* pLayout = new QHBoxLayout(this);
    auto* pDefault = new QPushButton(QString::fromUtf8("Padrão"), this);
    connect(pDefault, &QPushButton::clicked, this, [command] { command(32811); });
    pLayout->addWidget(pDefault);
    auto* pBack = new QPushButton("Fundo", this);
    connect(pBack, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(Qt::white, this);
        if (c.isValid())
            PickColour(20, static_cast<COLORREF>(c.red() | (c.green() << 8) | (c.blue() << 16)));
    });
    pLayout->addWidget(pBack);
    const char* names[] = {"Grade1", "Grade 2", "ECG"};
    const int colourItems[] = {5, 8, 11};
    for (int pen = 0; pen < 3; ++pen) {
        auto* pColour = new QPushButton(names[pen], this);
        const int nItem = colourItems[pen];
        connect(pColour, &QPushButton::clicked, this, [this, nItem] {
            const QColor c = QColorDialog::getColor(Qt::black, this);
            if (c.isValid())
                PickColour(nItem, static_cast<COLORREF>(c.red() | (c.green() << 8) | (c.blue() << 16)));
        });
        pLayout->addWidget(pColour);
        m_pStyles[pen] = new QComboBox(this);
        for (const char* s : {"solid", "dash", "dot", "dash dot", "dash dot dot"}) m_pStyles[pen]->addItem(s);
        m_pWidths[pen] = new QComboBox(this);
        for (int w = 1; w <= 7; ++w) m_pWidths[pen]->addItem(QString::number(w));
        pLayout->addWidget(m_pStyles[pen]);
        pLayout->addWidget(m_pWidths[pen]);
        connect(m_pStyles[pen], &QComboBox::activated, this, [this, pen](int n) { ChooseStyle(pen, n); });
        connect(m_pWidths[pen], &QComboBox::activated, this, [this, pen](int n) { ChooseWidth(pen, n); });
    }
}

void CColourBar::PickColour(int nItem, COLORREF cr) {
    m_send(nItem, static_cast<int>(cr));
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
