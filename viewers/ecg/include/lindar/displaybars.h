#pragma once
// The tool bar bar (format, rhythm lead, gain, speed; ruler, magnifier, pacemaker) and the
// colour bar (background, two grids and the trace). Both tell the view what the user
// chose by the display-setting message (item, value); the items mean what the view reads
// in them: 6/9/12 pen style, 7/10/13 pen width.
#include <QWidget>
#include <functional>

#include "platform/wintypes.h"

class QComboBox;
class QPushButton;

using DisplayMessage = std::function<long(int nItem, int nValue)>;

class CToolbarBar : public QWidget {
public:
    CToolbarBar(DisplayMessage send, std::function<void(unsigned)> command, QWidget* pParent = nullptr);
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

class CColourBar : public QWidget {
public:
    CColourBar(DisplayMessage send, std::function<void(unsigned)> command, QWidget* pParent = nullptr);
    void SetDefaults();
    // Monitoring: every line list to its first entry, disabled, and those sent.
    void LockPens();
    void UnlockPens();
    // The user picks a colour (item 5, 8, 11 or 20) or a list entry.
    void PickColour(int nItem, COLORREF cr);
    void ChooseStyle(int nPen, int nIndex);  // pen 0 grid, 1 inner grid, 2 trace
    void ChooseWidth(int nPen, int nIndex);
    QComboBox* StyleList(int nPen) const { return m_pStyles[nPen]; }
    QComboBox* WidthList(int nPen) const { return m_pWidths[nPen]; }

private:
    DisplayMessage m_send;
    QComboBox* m_pStyles[3] = {};
    QComboBox* m_pWidths[3] = {};
    bool m_bSelecting = false;
};
