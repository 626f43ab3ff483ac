#include "pulmetra/bars/patientbar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "barutil.h"
#include "platform/notifier.h"
#include "pulmetra/bars/barstrings.h"
#include "spiro_control/host/flowlin.h"

using namespace pmstr;

namespace {

// A stored text and the string it is shown as.
struct Shown {
    const char* stored;
    UINT nShownId;
};
constexpr Shown kSexes[] = {{"Male", IDS_SEX_MALE}, {"Female", IDS_SEX_FEMALE}};
constexpr Shown kRaces[] = {
    {"Caucasian", IDS_RACE_CAUCASIAN}, {"Oriental", IDS_RACE_ORIENTAL}, {"Black", IDS_RACE_BLACK}};
constexpr Shown kSmokers[] = {{"Yes", IDS_SMOKER_YES}, {"No", IDS_SMOKER_NO}};
constexpr Shown kPacks[] = {{"Quarter pack/day", IDS_PACK_QUARTER},
                            {"Half pack/day", IDS_PACK_HALF},
                            {"One pack/day", IDS_PACK_ONE},
                            {"Two pack/day", IDS_PACK_TWO},
                            {"More two pack/day", IDS_PACK_MORE}};

template <std::size_t N>
QString ShowAs(const CString& stored, const Shown (&table)[N]) {
    for (const Shown& s : table)
        if (stored == s.stored)
            return QStr(s.nShownId);
    return ToQ(stored);
}

template <std::size_t N>
CString StoreAs(const QString& shown, const Shown (&table)[N]) {
    for (const Shown& s : table)
        if (shown == QStr(s.nShownId))
            return s.stored;
    return FromQ(shown);
}

// The fields the user may type in while editing.
constexpr UINT kTyped[] = {CPulmetraPatientBar::IDC_ID,      CPulmetraPatientBar::IDC_NAME,
                           CPulmetraPatientBar::IDC_SURNAME, CPulmetraPatientBar::IDC_SMOKE_YEARS,
                           CPulmetraPatientBar::IDC_DOCTOR,  CPulmetraPatientBar::IDC_HOSPITAL,
                           CPulmetraPatientBar::IDC_SMOKER,  CPulmetraPatientBar::IDC_PACKS};

constexpr UINT kFields[] = {CPulmetraPatientBar::IDC_ID,       CPulmetraPatientBar::IDC_NAME,
                            CPulmetraPatientBar::IDC_SURNAME,  CPulmetraPatientBar::IDC_AGE,
                            CPulmetraPatientBar::IDC_HEIGHT,   CPulmetraPatientBar::IDC_WEIGHT,
                            CPulmetraPatientBar::IDC_SEX,      CPulmetraPatientBar::IDC_RACE,
                            CPulmetraPatientBar::IDC_SMOKER,   CPulmetraPatientBar::IDC_SMOKE_YEARS,
                            CPulmetraPatientBar::IDC_PACKS,    CPulmetraPatientBar::IDC_DOCTOR,
                            CPulmetraPatientBar::IDC_HOSPITAL, CPulmetraPatientBar::IDC_DATE,
                            CPulmetraPatientBar::IDC_FORMULA};

constexpr UINT kLists[] = {CPulmetraPatientBar::IDC_SEX_LIST, CPulmetraPatientBar::IDC_RACE_LIST,
                           CPulmetraPatientBar::IDC_SMOKER_LIST,
                           CPulmetraPatientBar::IDC_PACKS_LIST};

CString Info(CFlowlin& f, short n) {
    return f.GetInformation(n);
}

}  // namespace

CPulmetraPatientBar::CPulmetraPatientBar(QWidget* pParent) : CExDialogBar(pParent) {
    setObjectName("151");
    auto* pOuter = new QVBoxLayout(this);
    auto* pTitle = new CWndTitle(this);
    pTitle->setText(QString::fromUtf8("Dados do Paciente"));
    pTitle->SetBkColor(oxuctrl::ToColorRef(palette().color(QPalette::Button)));
    pOuter->addWidget(pTitle);
    m_pGrid = new QGridLayout;
    pOuter->addLayout(m_pGrid);
    pOuter->addStretch(1);
    // Typing limits are the widths the test file keeps (the long hospital and doctor form).
    AddField(IDC_ID, "ID", nullptr, 16);
    AddField(IDC_NAME, "Nome", nullptr, 16);
    AddField(IDC_SURNAME, "Sobrenome", nullptr, 16);
    AddField(IDC_AGE, "Idade", "Anos", 0);
    AddField(IDC_HEIGHT, "Altura", "Cm", 0);
    AddField(IDC_WEIGHT, "Peso", nullptr, 0);
    m_pWeightUnit = new QLabel("Kg", this);
    m_pWeightUnit->setObjectName(QString::number(IDC_WEIGHT_UNIT));
    m_pGrid->addWidget(m_pWeightUnit, m_pGrid->rowCount() - 1, 2);
    AddList(IDC_SEX_LIST, AddField(IDC_SEX, "Gênero", nullptr, 0), {IDS_SEX_MALE, IDS_SEX_FEMALE});
    AddList(IDC_RACE_LIST, AddField(IDC_RACE, "Etnia", nullptr, 0),
            {IDS_RACE_CAUCASIAN, IDS_RACE_ORIENTAL, IDS_RACE_BLACK});
    AddList(IDC_SMOKER_LIST, AddField(IDC_SMOKER, "Fumante", nullptr, 0),
            {IDS_SMOKER_YES, IDS_SMOKER_NO});
    AddField(IDC_SMOKE_YEARS, "Anos Fumando", nullptr, 3);
    AddList(IDC_PACKS_LIST, AddField(IDC_PACKS, "Carteiras", nullptr, 0),
            {IDS_PACK_QUARTER, IDS_PACK_HALF, IDS_PACK_ONE, IDS_PACK_TWO, IDS_PACK_MORE});
    AddField(IDC_DOCTOR, "Médico", nullptr, 28);
    AddField(IDC_HOSPITAL, "Hospital", nullptr, 28);
    AddField(IDC_DATE, "Data/Hora", nullptr, 0);
    AddField(IDC_FORMULA, "Fórmula", nullptr, 0);

    m_pEdit = new CButtonST(this);
    m_pEdit->setObjectName(QString::number(IDC_EDIT_INFO));
    m_pEdit->setText("Editar Info");
    m_pSave = new CButtonST(this);
    m_pSave->setObjectName(QString::number(IDC_SAVE_INFO));
    m_pSave->setText("Salvar Info");
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(m_pEdit);
    pButtons->addWidget(m_pSave);
    m_pGrid->addLayout(pButtons, m_pGrid->rowCount(), 0, 1, 3);
    // A two-state button: its own check state flips on a click.
    connect(m_pEdit, &QPushButton::clicked, this, [this] { OnEdit(m_pEdit->GetCheck() != 0); });
    connect(m_pSave, &QPushButton::clicked, this, [this] { OnSave(); });
    Refresh(nullptr);
}

CExEdit* CPulmetraPatientBar::AddField(UINT nCtrlId, const char* pszLabel, const char* pszUnit,
                                       int nLimit) {
    QGridLayout* pGrid = m_pGrid;
    const int nRow = pGrid->rowCount();
    pGrid->addWidget(new QLabel(QString::fromUtf8(pszLabel), this), nRow, 0);
    auto* p = new CExEdit(this);
    p->setObjectName(QString::number(nCtrlId));
    p->SetBkColor(oxuctrl::kPaleField);
    p->EnableKeyboardInput(FALSE);
    if (nLimit > 0)
        pmbars::LimitTyping(p, nLimit);
    pGrid->addWidget(p, nRow, 1);
    if (pszUnit)
        pGrid->addWidget(new QLabel(QString::fromUtf8(pszUnit), this), nRow, 2);
    return p;
}

CExComboBox* CPulmetraPatientBar::AddList(UINT nCtrlId, CExEdit* pField,
                                          std::initializer_list<UINT> items) {
    QGridLayout* pGrid = m_pGrid;
    auto* p = new CExComboBox(this);
    p->setObjectName(QString::number(nCtrlId));
    p->SetBkColor(oxuctrl::kPaleField);
    for (UINT id : items)
        p->addItem(QStr(id));
    p->setCurrentIndex(-1);
    p->hide();
    // In the field's place: editing shows the list over the field.
    int nRow = 0, nCol = 0, nRowSpan = 0, nColSpan = 0;
    pGrid->getItemPosition(pGrid->indexOf(pField), &nRow, &nCol, &nRowSpan, &nColSpan);
    pGrid->addWidget(p, nRow, nCol);
    return p;
}

CExEdit* CPulmetraPatientBar::Field(UINT nCtrlId) const {
    for (UINT id : kFields)
        if (id == nCtrlId)
            return findChild<CExEdit*>(QString::number(nCtrlId));
    return nullptr;
}

CExComboBox* CPulmetraPatientBar::List(UINT nCtrlId) const {
    for (UINT id : kLists)
        if (id == nCtrlId)
            return findChild<CExComboBox*>(QString::number(nCtrlId));
    return nullptr;
}

void CPulmetraPatientBar::Clear() {
    for (UINT id : kFields)
        pmbars::SetFieldText(Field(id), QString());
    for (UINT id : kLists)
        List(id)->setCurrentIndex(-1);
    m_pWeightUnit->setText("Kg");
}

void CPulmetraPatientBar::Enable(bool bOn) {
    for (UINT id : kFields)
        Field(id)->setEnabled(bOn);
    for (UINT id : kLists)
        List(id)->setEnabled(bOn);
    m_pEdit->setEnabled(bOn);
    m_pSave->setEnabled(bOn);
}

void CPulmetraPatientBar::Refresh(CFlowlin* pControl, const CString& strExamPath) {
    OnEdit(false);
    m_pControl = pControl;
    m_strPath = strExamPath;
    const short nType = pControl ? pControl->GetTestType() : 0;
    if (!pControl || nType < 1 || nType > 5) {
        Clear();
        Enable(false);
        return;
    }
    CFlowlin& f = *pControl;
    auto show = [&](UINT id, const QString& text) { pmbars::SetFieldText(Field(id), text); };
    show(IDC_ID, ToQ(Info(f, 0)));
    show(IDC_NAME, ToQ(Info(f, 1)));
    show(IDC_SURNAME, ToQ(Info(f, 28)));
    show(IDC_AGE, ToQ(Info(f, 2)));
    show(IDC_HEIGHT, ToQ(Info(f, 4)));
    show(IDC_WEIGHT, ToQ(Info(f, 5)));
    m_pWeightUnit->setText(f.IsPound() ? "lb" : "Kg");
    show(IDC_SEX, ShowAs(Info(f, 3), kSexes));
    show(IDC_RACE, ShowAs(f.GetRaceString(), kRaces));
    show(IDC_SMOKER, ShowAs(f.GetSmokeString(), kSmokers));
    show(IDC_SMOKE_YEARS, ToQ(Info(f, 8)));
    show(IDC_PACKS, ShowAs(f.GetSmokePackString(), kPacks));
    show(IDC_DOCTOR, ToQ(Info(f, 17)));
    show(IDC_HOSPITAL, ToQ(Info(f, 16)));
    // Asked in this order: year, month, day, hour, minute.
    const CString y = pmbars::ZeroPad(Info(f, 10), 4), mo = pmbars::ZeroPad(Info(f, 11), 2),
                  d = pmbars::ZeroPad(Info(f, 12), 2), h = pmbars::ZeroPad(Info(f, 13), 2),
                  mi = pmbars::ZeroPad(Info(f, 14), 2);
    show(IDC_DATE, ToQ(y + "/" + mo + "/" + d + " " + h + ":" + mi));
    show(IDC_FORMULA, ToQ(f.GetFormulaString()));
    // Each list selects the entry that is the shown text; none when nothing matches.
    const std::pair<UINT, UINT> pairs[] = {{IDC_SEX_LIST, IDC_SEX},
                                           {IDC_RACE_LIST, IDC_RACE},
                                           {IDC_SMOKER_LIST, IDC_SMOKER},
                                           {IDC_PACKS_LIST, IDC_PACKS}};
    for (auto [list, field] : pairs)
        List(list)->setCurrentIndex(List(list)->findText(Field(field)->text(), Qt::MatchExactly));
    Enable(true);
}

void CPulmetraPatientBar::OnEdit(bool bOn) {
    m_bEditing = bOn;
    m_pEdit->SetCheck(bOn ? 1 : 0);
    for (UINT id : kTyped)
        Field(id)->EnableKeyboardInput(bOn ? TRUE : FALSE);
    // The smoker and packs fields give way to their lists, each on the entry that begins
    // with the field's text (an empty field selects nothing: no value is made up).
    for (auto [list, field] : {std::pair<UINT, UINT>{IDC_SMOKER_LIST, IDC_SMOKER},
                               std::pair<UINT, UINT>{IDC_PACKS_LIST, IDC_PACKS}}) {
        CExComboBox* pList = List(list);
        CExEdit* pField = Field(field);
        if (bOn) {
            const QString text = pField->text();
            int n = -1;
            for (int i = 0; i < pList->count() && !text.isEmpty(); ++i)
                if (pList->itemText(i).startsWith(text)) {
                    n = i;
                    break;
                }
            pList->setCurrentIndex(n);
        }
        pList->setVisible(bOn);
        pField->setVisible(!bOn);
    }
}

void CPulmetraPatientBar::OnSave() {
    if (!m_pControl || m_strPath.empty()) {
        platform::ShowMessage(LoadString(IDS_NO_EXAM), platform::MB_ICONERROR);
        return;
    }
    const short nType = m_pControl->GetTestType();
    if (nType < 1 || nType > 5) {
        platform::ShowMessage(LoadString(IDS_NO_RECORD), platform::MB_ICONERROR);
        return;
    }
    // The lists' choices go into their fields; a list with nothing chosen leaves the field.
    const std::pair<UINT, UINT> pairs[] = {{IDC_SEX_LIST, IDC_SEX},
                                           {IDC_RACE_LIST, IDC_RACE},
                                           {IDC_SMOKER_LIST, IDC_SMOKER},
                                           {IDC_PACKS_LIST, IDC_PACKS}};
    for (auto [list, field] : pairs)
        if (List(list)->currentIndex() >= 0)
            pmbars::SetFieldText(Field(field), List(list)->currentText());
    auto text = [&](UINT id) { return FromQ(Field(id)->text()); };
    const CString strHeight = pmbars::TrimRight(text(IDC_HEIGHT), " Cm");
    const CString strWeight = pmbars::TrimRight(text(IDC_WEIGHT), " Kg");
    const CString strAge = pmbars::TrimRight(text(IDC_AGE), " Year");
    // Shown texts go back as the test file keeps them; "Asian" is an older name of
    // "Oriental". The sex goes back too, so that a save never stores the shown word.
    QString race = Field(IDC_RACE)->text();
    if (race == "Asian")
        race = QStr(IDS_RACE_ORIENTAL);
    const std::pair<short, CString> values[] = {
        {0, text(IDC_ID)},
        {1, text(IDC_NAME)},
        {28, text(IDC_SURNAME)},
        {2, strAge},
        {3, StoreAs(Field(IDC_SEX)->text(), kSexes)},
        {4, strHeight},
        {5, strWeight},
        {6, StoreAs(race, kRaces)},
        {7, StoreAs(Field(IDC_SMOKER)->text(), kSmokers)},
        {8, text(IDC_SMOKE_YEARS)},
        {9, StoreAs(Field(IDC_PACKS)->text(), kPacks)},
        {17, text(IDC_DOCTOR)},
        {16, text(IDC_HOSPITAL)},
    };
    for (const auto& [n, v] : values)
        m_pControl->SetInformation(n, v.c_str());
    const bool bOk = m_pControl->Save(m_strPath.c_str()) >= 0;
    platform::ShowMessage(LoadString(bOk ? IDS_SAVED : IDS_SAVE_FAILED),
                          bOk ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR);
}
