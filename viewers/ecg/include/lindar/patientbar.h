#pragma once
// Lindar's patient bar: the patient and record data of the active exam, edited and written
// back into the record file through the control.
#include <QWidget>

#include "platform/wintypes.h"

class CLindarGraphWnd;
class QComboBox;
class QLineEdit;
class QPushButton;

class CPatientBar : public QWidget {
public:
    enum : UINT { IDC_UNIT = 4091, IDC_UNIT_LIST = 4111 };
    enum Field {
        ID,
        NAME,
        SURNAME,
        SEX,
        AGE,
        UNIT,
        WEIGHT,
        HEIGHT,
        COMPLEMENT,
        DOCTOR,
        HOSPITAL,
        TIME,
        FIELD_COUNT
    };

    explicit CPatientBar(QWidget* pParent = nullptr);
    void ShowExam(CLindarGraphWnd* pGraph);
    void EnableBar(bool bOn);
    void OnEdit(bool bOn);
    void OnSave();
    QLineEdit* FieldEdit(Field f) const { return m_fields[f]; }
    QComboBox* UnitList() const { return m_pUnits; }

    // "154L" -> "70": pounds to kilograms, rounded; other texts unchanged.
    static CString WeightText(const CString& str);
    // "202612100405" -> "2026/12/10 04:05"; other texts unchanged.
    static CString TimeText(const CString& str);

private:
    CLindarGraphWnd* m_pGraph = nullptr;
    QLineEdit* m_fields[FIELD_COUNT] = {};
    QComboBox* m_pUnits = nullptr;
    QPushButton* m_pEdit = nullptr;
    QPushButton* m_pSave = nullptr;
};
