#pragma once
// The tool bar bar (format, rhythm lead, gain, speed; ruler, magnifier, pacemaker) and the
// colour bar (background, two grids and the trace). Both tell the view what the user
// chose by the display-setting message (item, value); the items mean what the view reads
// in them: 6/9/12 pen style, 7/10/13 pen width.
#include <QWidget>
#include <functional>

#include "oxuctrl/oxuctrl.h"
#include "platform/wintypes.h"

class QComboBox;
class QPushButton;

using DisplayMessage = std::function<long(int nItem, int nValue)>;

class CToolbarBar : public CExDialogBar {
public:
    // The frame's commands of the bar (the three buttons' and 32775), registered with it.
    enum : UINT { ID_RULER = 32793, ID_MAGNIFIER = 32806, ID_PACEMAKER = 32808, ID_EXTRA = 32775 };
    CToolbarBar(DisplayMessage send, std::function<void(unsigned)> command,
                QWidget* pParent = nullptr);
    // Selects the first entry whose code is the value (-1: nothing changes).
    void SelectFormat(int nCode);
    void SelectRhythm(int nCode);
    void SelectGain(int nCode);
    void SelectSpeed(int nCode);
    void SetMonitoring(bool bOn);

    QComboBox* Format() const { return m_pFormat; }
    QComboBox* Rhythm() const { return m_pRhythm; }
    QComboBox* Gain() const { return m_pGain; }
    QComboBox* Speed() const { return m_pSpeed; }
    // The user's choice in a list, as the bar's own handlers take it.
    void ChooseFormat(int nIndex);
    void ChooseRhythm(int nIndex);
    void ChooseGain(int nIndex);
    void ChooseSpeed(int nIndex);

private:
    static void SelectByCode(QComboBox* p, int nCode);
    DisplayMessage m_send;
    QComboBox* m_pFormat = nullptr;
    QComboBox* m_pRhythm = nullptr;
    QComboBox* m_pGain = nullptr;
    QComboBox* m_pSpeed = nullptr;
    QPushButton* m_pRuler = nullptr;
    QPushButton* m_pMagnifier = nullptr;
    QPushButton* m_pPacemaker = nullptr;
    bool m_bMonitoring = false;
    int m_nLastFormat = 1;
    bool m_bSelecting = false;
};

class CColourBar : public CExDialogBar {
public:
    enum : UINT {
        ID_DEFAULT = 32811,
        IDC_BACK = 1036,
        IDC_GRID1 = 1035,
        IDC_GRID1_STYLE = 1034,
        IDC_GRID1_WIDTH = 1033,
        IDC_GRID2 = 1039,
        IDC_GRID2_STYLE = 1038,
        IDC_GRID2_WIDTH = 1037,
        IDC_TRACE = 1042,
        IDC_TRACE_STYLE = 1041,
        IDC_TRACE_WIDTH = 1040,
    };
    // The defaults the pickers show: background, grid 1, grid 2, trace.
    static constexpr COLORREF kDefaultBack = 0xFFFFFF, kDefaultGrid1 = 0x8080FF,
                              kDefaultGrid2 = 0xBFBFFF, kDefaultTrace = 0x000000;
    CColourBar(DisplayMessage send, std::function<void(unsigned)> command,
               QWidget* pParent = nullptr);
    void SetDefaults();
    // Monitoring: every line list to its first entry, disabled, and those sent.
    void LockPens();
    void UnlockPens();
    // The user picks a colour (item 5, 8, 11 or 20) or a list entry.
    void PickColour(int nItem, COLORREF cr);
    void ChooseStyle(int nPen, int nIndex);  // pen 0 grid, 1 inner grid, 2 trace
    void ChooseWidth(int nPen, int nIndex);
    CComboBoxLine* StyleList(int nPen) const { return m_pStyles[nPen]; }
    CComboBoxLine* WidthList(int nPen) const { return m_pWidths[nPen]; }
    // The picker of item 5, 8, 11 (grid 1, grid 2, trace) or 20 (background).
    CColourPicker* Picker(int nItem) const;

private:
    DisplayMessage m_send;
    CColourPicker* m_pBack = nullptr;
    CColourPicker* m_pPickers[3] = {};
    CComboBoxLine* m_pStyles[3] = {};
    CComboBoxLine* m_pWidths[3] = {};
};
