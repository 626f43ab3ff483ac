#pragma once
// Pulmetra's graph-style bar (a band of the frame's rebar): "Padrão", the pens of the grid,
// the pre-test curve, the post-test curve and the predicted curve (colour, style, width),
// the zoom list, "FV/VT" and "ALL/BEST".
//
// Host use: construct it with the function that delivers message 1224 (item, value) to the
// active view, and set the frame's command target (SetCommandTarget): "Padrão" (32784),
// "FV/VT" (32778) and "ALL/BEST" (32780) are frame commands. The frame's message 1226 goes
// to OnFrameMessage (code 17: the zoom list follows the level; code 30: the bar shows the
// default pens again). The frame's command update may set the two buttons' texts and
// states through SetCommandState.
//
// Items and values are what the view applies (its message table): 1/2/3 grid colour,
// style, width; 11/12/13 pre-test curve; 14/15/16 post-test curve; 21/22/23 predicted curve;
// 17 zoom level 1..10. A colour is a COLORREF, a style the pen style (0 solid, 1 dash, 2 dot,
// 3 dash-dot, 4 dash-dot-dot), a width in pixels. So the bar's default entries are the
// view's default pens: grid dotted 1 black, curves solid 2 black and green, predicted solid
// 1 red, zoom 3.
#include <functional>

#include "oxuctrl/oxuctrl.h"
#include "platform/wintypes.h"

using SpiroStyleMessage = std::function<long(int nItem, int nValue)>;

class CGraphStyleBar : public CExDialogBar {
    Q_OBJECT
public:
    enum : UINT {
        ID_RESTORE_STYLES = 32784,  // "Padrão"
        ID_FV_VT = 32778,
        ID_ALL_BEST = 32780,
        IDC_ZOOM = 1044,
    };
    enum Pen { PEN_GRID, PEN_PRE, PEN_POST, PEN_PREDICTED, PEN_COUNT };
    struct SPenDefault {
        COLORREF crColour;
        int nStyle;  // pen style (= style list entry)
        int nWidth;  // pixels (= width list entry)
    };
    static const SPenDefault kDefaults[PEN_COUNT];
    static constexpr int kDefaultZoom = 3;
    static constexpr int kStyleCount = 5;  // entries of a style list: styles 0..4
    static constexpr int kWidthCount = 7;  // entries of a width list: widths 0..6

    explicit CGraphStyleBar(SpiroStyleMessage send, QWidget* pParent = nullptr);

    // The control ids of a pen's picker, style list and width list.
    static UINT PickerId(Pen pen);
    static UINT StyleListId(Pen pen);
    static UINT WidthListId(Pen pen);
    // The message items of a pen: colour, style, width.
    static int ColourItem(Pen pen);
    static int StyleItem(Pen pen) { return ColourItem(pen) + 1; }
    static int WidthItem(Pen pen) { return ColourItem(pen) + 2; }

    // What the user does, as the bar's handlers take it: each sends its item.
    void PickColour(Pen pen, COLORREF cr);
    void ChooseStyle(Pen pen, int nIndex);
    void ChooseWidth(Pen pen, int nIndex);
    void ChooseZoom(int nIndex);

    // Message 1226 of the frame: 17 selects entry level - 1 of the zoom list, 30 shows the
    // default pens and zoom. Nothing is sent. Returns 0.
    long OnFrameMessage(int nCode, int nValue);
    void SelectZoom(int nLevel);
    void ShowDefaults();

    // The frame's command update of FV/VT and ALL/BEST (text and enabled state).
    void SetCommandState(UINT nCmdId, bool bEnabled, const QString& text);

    CColourPicker* Picker(Pen pen) const { return m_pPickers[pen]; }
    CComboBoxLine* StyleList(Pen pen) const { return m_pStyles[pen]; }
    CComboBoxLine* WidthList(Pen pen) const { return m_pWidths[pen]; }
    CExComboBox* ZoomList() const { return m_pZoom; }
    QPushButton* CommandButton(UINT nCmdId) const;

private:
    SpiroStyleMessage m_send;
    CColourPicker* m_pPickers[PEN_COUNT] = {};
    CComboBoxLine* m_pStyles[PEN_COUNT] = {};
    CComboBoxLine* m_pWidths[PEN_COUNT] = {};
    CExComboBox* m_pZoom = nullptr;
};
