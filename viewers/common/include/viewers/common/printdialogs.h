#pragma once
// The viewers' print dialogs (template 140, "Imprimir"): a printer of the print system,
// copies, the printer's properties, which parts of the exam to print and, in the ECG
// viewer, the pens of the printed grids and trace. The view fills the members before
// opening and reads them after OK.
#include <QDialog>
#include <QPrinter>
#include <array>
#include <functional>
#include <memory>

#include "platform/wintypes.h"

class QCheckBox;
class QGroupBox;
class CButtonST;
class CColourPicker;
class CComboBoxLine;
class CExComboBox;
class CExEdit;

// One printed pen, in the order of the control's pen methods: style (0 solid .. 4
// dash-dot-dot), width (0..6, in 0.1 mm on paper), colour.
struct CPrintPen {
    int nStyle;
    int nWidth;
    COLORREF crColour;
    bool operator==(const CPrintPen&) const = default;
};

class CPrintDialogBase : public QDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_PRINTER = 1139,
        IDC_COPIES = 1154,
        IDC_PROPERTIES = 1025,
        IDC_INTERPRETATION = 1060,
        IDC_PARAMETERS = 1061,
        IDC_COMMENTS = 1062,
        IDC_PACEMAKER = 1063,
    };
    // The chosen printer name and copies after OK.
    QString m_strPrinter;
    int m_nCopies = 1;
    BOOL m_bPrintInterpretation = 1;
    BOOL m_bPrintComments = 1;
    // The printer the properties were set on (its name follows the list).
    QPrinter& Printer() { return m_printer; }
    // Fills the printer list from the print system; the default printer selected.
    void LoadPrinters();
    void OnProperties();
    // Runs the printer's properties dialog; tests replace it.
    std::function<void(QPrinter&)> m_runProperties;

protected:
    explicit CPrintDialogBase(QWidget* pParent, bool bParameters);
    void BaseLoad();
    bool BaseStore();
    QWidget* Flags() const { return m_pFlags; }
    QCheckBox* m_pInterpretation;
    QCheckBox* m_pParameters = nullptr;
    QCheckBox* m_pComments;
    QCheckBox* m_pPacemaker = nullptr;
    CExComboBox* m_pPrinter;
    CExEdit* m_pCopies;
    CButtonST* m_pOk;
    CButtonST* m_pCancel;

private:
    QPrinter m_printer;
    QWidget* m_pFlags;
};

class CEkgPrintDialog : public CPrintDialogBase {
    Q_OBJECT
public:
    enum : int { IDC_MONOCHROME = 4087, IDC_GRID1_COLOUR = 4068 };
    explicit CEkgPrintDialog(QWidget* pParent = nullptr);
    BOOL m_bPrintParameters = 1;
    BOOL m_bPrintPacemaker = 1;
    BOOL m_bMonochrome = 0;
    // Grid 1, grid 2, trace.
    std::array<CPrintPen, 3> m_pens{{{0, 1, 0x282828}, {0, 1, 0x7F7F7F}, {0, 2, 0}}};
    // What monochrome printing always uses: solid grey grids and a solid black trace.
    static constexpr std::array<CPrintPen, 3> kMonochromePens{
        {{0, 1, 0x282828}, {0, 1, 0x7F7F7F}, {0, 2, 0}}};

    // Fills the controls from the members (done when shown; tests call it directly).
    void Load();
    void OnMonochromeClicked();
    void accept() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::array<CColourPicker*, 3> m_pickers{};
    std::array<CComboBoxLine*, 3> m_widths{};  // 4069, 4072, 4075: widths 0..6
    std::array<CComboBoxLine*, 3> m_styles{};  // 4070, 4073, 4076: styles 0..4
    QCheckBox* m_pMonochrome;
    bool m_bLoaded = false;
};

class CSpiroPrintDialog : public CPrintDialogBase {
    Q_OBJECT
public:
    explicit CSpiroPrintDialog(QWidget* pParent = nullptr);
    void Load();
    void accept() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    bool m_bLoaded = false;
};
