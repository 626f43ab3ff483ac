#pragma once
// Pulmetra's patient bar ("Dados do Paciente", left side of the frame): the patient and test
// data of the exam in the active graph window, an edit mode, and "Salvar Info", which writes
// the edited data back into the test file through the control (SetInformation, Save).
//
// Host use: create it, dock it on the left, and on command 32772 (and whenever the active
// graph window or its exam changes) call Refresh with that window's control and the path
// of the exam it shows, or Refresh(nullptr) when there is none: the bar is then emptied and
// disabled. The bar talks to nobody else; its messages go through the notifier.
#include <QString>

#include "oxuctrl/oxuctrl.h"
#include "platform/wintypes.h"

class CFlowlin;
class QGridLayout;
class QLabel;

class CPulmetraPatientBar : public CExDialogBar {
    Q_OBJECT
public:
    // Control ids of the bar's template.
    enum : UINT {
        IDC_ID = 1016,
        IDC_NAME = 1017,
        IDC_SURNAME = 1034,
        IDC_AGE = 1018,
        IDC_HEIGHT = 1019,
        IDC_WEIGHT = 1021,
        IDC_WEIGHT_UNIT = 1036,
        IDC_SEX = 1022,
        IDC_SEX_LIST = 1030,
        IDC_RACE = 1023,
        IDC_RACE_LIST = 1031,
        IDC_SMOKER = 1026,
        IDC_SMOKER_LIST = 1032,
        IDC_SMOKE_YEARS = 1024,
        IDC_PACKS = 1025,
        IDC_PACKS_LIST = 1033,
        IDC_DOCTOR = 1029,
        IDC_HOSPITAL = 1028,
        IDC_DATE = 1027,
        IDC_FORMULA = 1035,
        IDC_EDIT_INFO = 1097,
        IDC_SAVE_INFO = 1020,
    };

    explicit CPulmetraPatientBar(QWidget* pParent = nullptr);

    // Shows the exam of the active graph window: pControl is its control, strExamPath the
    // test file the window shows (the file "Salvar Info" writes). nullptr (or a control
    // without a test) empties every field, shows "Kg" and disables the bar.
    void Refresh(CFlowlin* pControl, const CString& strExamPath = CString());

    // "Editar Info" on or off, as the button does.
    void OnEdit(bool bOn);
    bool IsEditing() const { return m_bEditing; }
    // "Salvar Info": the fields into the control, then the control saves the test file.
    void OnSave();

    // The field of a control id (IDC_ID .. IDC_FORMULA), the lists, the unit label and the
    // two buttons; nullptr for another id.
    CExEdit* Field(UINT nCtrlId) const;
    CExComboBox* List(UINT nCtrlId) const;
    QLabel* WeightUnit() const { return m_pWeightUnit; }
    CButtonST* EditButton() const { return m_pEdit; }
    CButtonST* SaveButton() const { return m_pSave; }

private:
    void Enable(bool bOn);
    void Clear();
    CExEdit* AddField(UINT nCtrlId, const char* pszLabel, const char* pszUnit, int nLimit);
    CExComboBox* AddList(UINT nCtrlId, CExEdit* pField, std::initializer_list<UINT> items);

    CFlowlin* m_pControl = nullptr;
    CString m_strPath;
    bool m_bEditing = false;
    QGridLayout* m_pGrid = nullptr;
    QLabel* m_pWeightUnit = nullptr;
    CButtonST* m_pEdit = nullptr;
    CButtonST* m_pSave = nullptr;
};
