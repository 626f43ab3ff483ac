#include "pulmetra/bars/graphstylebar.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

namespace {

struct SPenIds {
    const char* pszName;
    UINT nPicker, nStyle, nWidth;
    int nColourItem;
};
constexpr SPenIds kPens[CGraphStyleBar::PEN_COUNT] = {
    {"Grade", 1035, 1034, 1033, 1},
    {"PRÉ", 1042, 1041, 1040, 11},
    {"PÓS", 1043, 1046, 1045, 14},
    {"PRED.", 1039, 1038, 1037, 21},
};

constexpr int kEntryHeight = 14;

}  // namespace

// The view's default pens (grid dotted 1 black, curve solid 2 black, post curve solid 2
// green, predicted solid 1 red), so that the bar's defaults show what the view draws.
const CGraphStyleBar::SPenDefault CGraphStyleBar::kDefaults[PEN_COUNT] = {
    {0x000000, 2, 1},
    {0x000000, 0, 2},
    {0x00FF00, 0, 2},
    {0x0000FF, 0, 1},
};

UINT CGraphStyleBar::PickerId(Pen pen) {
    return kPens[pen].nPicker;
}
UINT CGraphStyleBar::StyleListId(Pen pen) {
    return kPens[pen].nStyle;
}
UINT CGraphStyleBar::WidthListId(Pen pen) {
    return kPens[pen].nWidth;
}
int CGraphStyleBar::ColourItem(Pen pen) {
    return kPens[pen].nColourItem;
}

CGraphStyleBar::CGraphStyleBar(SpiroStyleMessage send, QWidget* pParent)
    : CExDialogBar(pParent), m_send(std::move(send)) {
    setObjectName("131");
    auto* pRow = new QHBoxLayout(this);
    auto button = [&](UINT nId, const char* pszText) {
        auto* p = new QPushButton(QString::fromUtf8(pszText), this);
        p->setObjectName(QString::number(nId));
        pRow->addWidget(p);
        return p;
    };
    button(ID_RESTORE_STYLES, "Padrão");
    for (int i = 0; i < PEN_COUNT; ++i) {
        const Pen pen = static_cast<Pen>(i);
        auto* pGroup = new QGroupBox(QString::fromUtf8(kPens[i].pszName), this);
        auto* pGroupRow = new QHBoxLayout(pGroup);
        m_pPickers[i] = new CColourPicker(pGroup);
        m_pPickers[i]->setObjectName(QString::number(kPens[i].nPicker));
        m_pStyles[i] = new CComboBoxLine(pGroup);
        m_pStyles[i]->setObjectName(QString::number(kPens[i].nStyle));
        m_pStyles[i]->Initialize(1);
        for (int s = 0; s < kStyleCount; ++s)
            m_pStyles[i]->AddLine(s, 1);
        m_pWidths[i] = new CComboBoxLine(pGroup);
        m_pWidths[i]->setObjectName(QString::number(kPens[i].nWidth));
        m_pWidths[i]->Initialize(0);
        for (int w = 0; w < kWidthCount; ++w)
            m_pWidths[i]->AddLine(0, w);
        for (CComboBoxLine* p : {m_pStyles[i], m_pWidths[i]})
            for (int n = 0; n < p->count(); ++n)
                p->setItemData(n, QSize(64, kEntryHeight), Qt::SizeHintRole);
        pGroupRow->addWidget(m_pPickers[i]);
        pGroupRow->addWidget(m_pStyles[i]);
        pGroupRow->addWidget(m_pWidths[i]);
        pRow->addWidget(pGroup);
        // The picker reports a pick to the bar, which tells the view.
        connect(m_pPickers[i], &CColourPicker::colourPicked, this,
                [this, pen](unsigned cr) { m_send(ColourItem(pen), static_cast<int>(cr)); });
        connect(m_pStyles[i], &QComboBox::activated, this,
                [this, pen](int n) { ChooseStyle(pen, n); });
        connect(m_pWidths[i], &QComboBox::activated, this,
                [this, pen](int n) { ChooseWidth(pen, n); });
    }
    pRow->addWidget(new QLabel("Zoom ", this));
    m_pZoom = new CExComboBox(this);
    m_pZoom->setObjectName(QString::number(IDC_ZOOM));
    for (int z = 1; z <= 10; ++z)
        m_pZoom->addItem(QString::number(z));
    pRow->addWidget(m_pZoom);
    connect(m_pZoom, &QComboBox::activated, this, [this](int n) { ChooseZoom(n); });
    button(ID_FV_VT, "FV/VT");
    button(ID_ALL_BEST, "ALL/BEST");
    pRow->addStretch(1);
    for (UINT id : {ID_ALL_BEST, ID_FV_VT, ID_RESTORE_STYLES})
        AddUpdateCmdID(id);
    ShowDefaults();
}

void CGraphStyleBar::PickColour(Pen pen, COLORREF cr) {
    m_pPickers[pen]->Pick(cr);  // shows it and reports it, as a pick in the dialog does
}

void CGraphStyleBar::ChooseStyle(Pen pen, int nIndex) {
    if (nIndex < 0 || nIndex >= m_pStyles[pen]->count())
        return;
    m_pStyles[pen]->setCurrentIndex(nIndex);
    m_send(StyleItem(pen), m_pStyles[pen]->StyleAt(nIndex));
}

void CGraphStyleBar::ChooseWidth(Pen pen, int nIndex) {
    if (nIndex < 0 || nIndex >= m_pWidths[pen]->count())
        return;
    m_pWidths[pen]->setCurrentIndex(nIndex);
    m_send(WidthItem(pen), m_pWidths[pen]->WidthAt(nIndex));
}

void CGraphStyleBar::ChooseZoom(int nIndex) {
    if (nIndex < 0 || nIndex >= m_pZoom->count())
        return;
    m_pZoom->setCurrentIndex(nIndex);
    m_send(17, nIndex + 1);
}

long CGraphStyleBar::OnFrameMessage(int nCode, int nValue) {
    if (nCode == 17)
        SelectZoom(nValue);
    else if (nCode == 30)
        ShowDefaults();
    return 0;
}

void CGraphStyleBar::SelectZoom(int nLevel) {
    if (nLevel >= 1 && nLevel <= m_pZoom->count())
        m_pZoom->setCurrentIndex(nLevel - 1);
}

void CGraphStyleBar::ShowDefaults() {
    for (int i = 0; i < PEN_COUNT; ++i) {
        m_pPickers[i]->SetColour(kDefaults[i].crColour);
        m_pStyles[i]->setCurrentIndex(kDefaults[i].nStyle);
        m_pWidths[i]->setCurrentIndex(kDefaults[i].nWidth);
    }
    SelectZoom(kDefaultZoom);
}

QPushButton* CGraphStyleBar::CommandButton(UINT nCmdId) const {
    return findChild<QPushButton*>(QString::number(nCmdId));
}

void CGraphStyleBar::SetCommandState(UINT nCmdId, bool bEnabled, const QString& text) {
    if (QPushButton* p = CommandButton(nCmdId)) {
        p->setEnabled(bEnabled);
        if (!text.isEmpty())
            p->setText(text);
    }
}
