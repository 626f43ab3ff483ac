#include "lindar/patientbar.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <cctype>
#include <cstdlib>

#include "viewers/common/examlist.h"
#include "lindar/lindargraphwnd.h"
#include "platform/codepage.h"
#include "oxuctrl/oxuctrl.h"
#include "platform/notifier.h"

namespace {
QString Screen(const CString& s) {
    return QString::fromStdU16String(platform::ToUtf16(s));
}
CString Bytes(const QString& s) {
    return platform::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                                   static_cast<std::size_t>(s.size())));
}
CString Text(const char* pszUtf8) {
    return Bytes(QString::fromUtf8(pszUtf8));
}
CString TrimTail(CString s, const char* pszChars) {
    while (!s.empty() && std::strchr(pszChars, s.back()))
        s.pop_back();
    return s;
}
}  // namespace

CPatientBar::CPatientBar(QWidget* pParent) : QWidget(pParent) {
    setObjectName("patientBar");
    auto* pMain = new QVBoxLayout(this);
    pMain->setContentsMargins(2, 2, 2, 2);
    auto* pTitle = new CWndTitle(this);
    pTitle->setObjectName("title");
    pTitle->setText("Dados do Paciente");
    pTitle->SetBkColor(oxuctrl::ToColorRef(palette().color(QPalette::Button)));
    pTitle->setFrameShape(QFrame::Panel);
    pMain->addWidget(pTitle);
    auto* pForm = new QFormLayout;
    pMain->addLayout(pForm);
    const char* labels[] = {"ID",          "Nome",   "Sobrenome", "Gênero",
                            "Idade",       "",       "Peso (Kg)", "Altura (Cm)",
                            "Complemento", "Médico", "Hospital",  "Data/Hora"};
    const int limits[] = {16, 16, 16, 0, 3, 0, 3, 3, 0, 28, 28, 0};
    const UINT ids[] = {1016, 1017, 1026, 1018, 1019, IDC_UNIT, 1021, 1022, 1020, 1024, 1025, 1028};
    for (int i = 0; i < FIELD_COUNT; ++i) {
        m_fields[i] = new QLineEdit(this);
        m_fields[i]->setObjectName(QString::number(ids[i]));
        m_fields[i]->setReadOnly(true);
        if (limits[i])
            m_fields[i]->setMaxLength(limits[i]);
        if (i != UNIT) {
            pForm->addRow(QString::fromUtf8(labels[i]), m_fields[i]);
            continue;
        }
        // The unit list lies over the unit's label; it is shown only while editing.
        auto* pCell = new QWidget(this);
        auto* pStack = new QStackedLayout(pCell);
        pStack->setStackingMode(QStackedLayout::StackAll);
        m_pUnits = new QComboBox(pCell);
        m_pUnits->setObjectName(QString::number(IDC_UNIT_LIST));
        m_pUnits->addItems({"Year", "Week", "Day"});
        pStack->addWidget(m_fields[i]);
        pStack->addWidget(m_pUnits);
        m_pUnits->hide();
        pForm->addRow("", pCell);
    }
    m_pEdit = new QPushButton("Editar Info", this);
    m_pEdit->setObjectName("1097");
    m_pEdit->setCheckable(true);
    m_pSave = new QPushButton("Salvar Info", this);
    m_pSave->setObjectName("1027");
    pForm->addRow(m_pEdit, m_pSave);
    pMain->addStretch(1);
    connect(m_pEdit, &QPushButton::toggled, this, [this](bool b) { OnEdit(b); });
    connect(m_pSave, &QPushButton::clicked, this, [this] { OnSave(); });
    EnableBar(false);
}

CString CPatientBar::WeightText(const CString& str) {
    if (str.find('L') == CString::npos)
        return str;
    CString s;
    for (char c : str)
        if (c != 'L')
            s += c;
    const double kg = std::atof(s.c_str()) * 0.45359908191545817;
    return std::to_string(static_cast<int>(kg + 0.5));
}

CString CPatientBar::TimeText(const CString& s) {
    if (s.size() != 12 ||
        !std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); }))
        return s;
    return s.substr(0, 4) + "/" + s.substr(4, 2) + "/" + s.substr(6, 2) + " " + s.substr(8, 2) +
           ":" + s.substr(10, 2);
}

void CPatientBar::ShowExam(CLindarGraphWnd* pGraph) {
    m_pGraph = pGraph;
    if (!pGraph || !pGraph->m_pExam) {
        for (QLineEdit* f : m_fields)
            f->clear();
        return;
    }
    auto info = [&](short n) { return pGraph->EKGGetPatientInfo(n); };
    m_fields[ID]->setText(Screen(info(0)));
    m_fields[NAME]->setText(Screen(info(1)));
    m_fields[SURNAME]->setText(Screen(info(8)));
    const CString strSex = info(3);
    m_fields[SEX]->setText(strSex == "Male"     ? "Masculino"
                           : strSex == "Female" ? "Feminino"
                                                : Screen(strSex));
    m_fields[AGE]->setText(Screen(info(2)));
    const CString strUnit = info(9);
    m_fields[UNIT]->setText(strUnit == "1" ? "Week" : strUnit == "2" ? "Day" : "Year");
    m_pUnits->setCurrentIndex(strUnit == "1" ? 1 : strUnit == "2" ? 2 : 0);
    m_fields[WEIGHT]->setText(Screen(WeightText(info(5))));
    m_fields[HEIGHT]->setText(Screen(info(4)));
    m_fields[COMPLEMENT]->setText(Screen(info(6)));
    m_fields[DOCTOR]->setText(Screen(pGraph->EKGGetMisc(0)));
    m_fields[HOSPITAL]->setText(Screen(pGraph->EKGGetMisc(1)));
    m_fields[TIME]->setText(Screen(TimeText(pGraph->EKGGetTime())));
}

void CPatientBar::EnableBar(bool bOn) {
    for (int i = 0; i < FIELD_COUNT; ++i)
        if (i != ID)
            m_fields[i]->setEnabled(bOn);
    m_pSave->setEnabled(bOn);
    m_pEdit->setEnabled(bOn);
    if (!bOn)
        m_pEdit->setChecked(false);
}

void CPatientBar::OnEdit(bool bOn) {
    if (m_pEdit->isChecked() != bOn)
        m_pEdit->setChecked(bOn);
    for (int i = 0; i < FIELD_COUNT; ++i)
        if (i != TIME)
            m_fields[i]->setReadOnly(!bOn);
    m_pUnits->setVisible(bOn);
    if (bOn)
        m_pUnits->raise();
}

void CPatientBar::OnSave() {
    if (!m_pGraph) {
        platform::ShowMessage(Text("Dados do ECG inválidos !!!"), platform::MB_ICONERROR);
        return;
    }
    if (!m_pGraph->m_pExam) {
        platform::ShowMessage(Text("Dados do exame Qar inválidos !!!"), platform::MB_ICONERROR);
        return;
    }
    CLindarGraphWnd* pGraph = m_pGraph;
    const CExamItem* pExam = pGraph->m_pExam;
    if (platform::ShowMessage(Text("Tem certeza que deseja salvar as alterações?"),
                              platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES)
        return;
    // The answer is for the exam the fields were edited on. Another one shown meanwhile has
    // put its own data in the fields: nothing is written to either.
    if (m_pGraph != pGraph || pGraph->m_pExam != pExam) {
        platform::ShowMessage(Text("Falha ao gravar o arquivo (*.ekg)."), platform::MB_ICONERROR);
        return;
    }
    auto field = [&](Field f) { return Bytes(m_fields[f]->text()); };
    CString strSex = field(SEX);
    if (strSex == "Masculino")
        strSex = "Male";
    else if (strSex == "Feminino")
        strSex = "Female";
    const QString strUnitText = m_pUnits->currentText();
    const CString strUnit = strUnitText == "Week" ? "1" : strUnitText == "Day" ? "2" : "0";
    m_fields[UNIT]->setText(strUnitText);
    const std::pair<short, CString> values[] = {{0, field(ID)},
                                                {1, field(NAME)},
                                                {2, TrimTail(field(AGE), "Year")},
                                                {3, strSex},
                                                {4, TrimTail(field(HEIGHT), "Cm")},
                                                {5, TrimTail(field(WEIGHT), "Kg")},
                                                {6, field(COMPLEMENT)},
                                                {8, field(SURNAME)},
                                                {9, strUnit}};
    for (const auto& [n, v] : values)
        m_pGraph->EKGSetPatientInfo(n, v.c_str());
    m_pGraph->EKGSetMisc(0, field(DOCTOR).c_str());
    m_pGraph->EKGSetMisc(1, field(HOSPITAL).c_str());
    const bool bOk = m_pGraph->EKGSaveFile(m_pGraph->m_pExam->GetPath().c_str()) == 1;
    platform::ShowMessage(
        Text(bOk ? "Exame salvo com sucesso!" : "Falha ao gravar o arquivo (*.ekg)."),
        bOk ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR);
}
