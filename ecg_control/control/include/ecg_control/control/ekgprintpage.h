#pragma once
// The paper report: one A4 landscape page, grid and traces at true scale drawn in 0.1 mm
// units from the grid's top-left corner (21 mm from the left, 9 mm from the top of the
// printable area), texts in 9 pt and 10 pt bold "Arial" measured on the printer and laid out
// in fractions of the printable width.
#include <QPainter>
#include <vector>

#include "ecg_control/draw/drawtools.h"
#include "ecg_control/draw/tracelayout.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"

class CEkgPrintPage {
public:
    static constexpr int kCell = 10;  // 0.1 mm units per mm
    static constexpr int kLarge = 50;
    static constexpr int kGridColumns = 50, kGridRows = 37;

    // One calibration pulse: top-left corner and height, 0.1 mm units.
    struct CPulse {
        int x, y, nHeight;
    };

    CEkgPrintPage();

    void Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph,
                CEkgDeviceInfo* pDevice);
    void SetShowStatements(BOOL b) { m_bStatements = b; }
    void SetShowMeasurements(BOOL b) { m_bMeasurements = b; }
    void SetShowComment(BOOL b) { m_bComment = b; }
    void SetShowPacemaker(BOOL b) { m_bPacemaker = b; }
    BOOL SetGraphPen(int nStyle, int nWidth, COLORREF cr);
    BOOL SetGridPen(int nStyle, int nWidth, COLORREF cr);
    BOOL SetGridInnerPen(int nStyle, int nWidth, COLORREF cr);

    // Takes format, gain and rhythm lead and lays the traces out; FALSE without samples or
    // when the layout cannot be made.
    BOOL Prepare(int nFormat, int nGain, int nRhythmLead);
    // Draws the page on a device of the given resolution (pixels per mm) whose printable
    // area is nPrintableWidth pixels wide, the painter's origin at that area's top-left
    // corner (a printer cannot print nearer the paper's edges).
    void Draw(QPainter& painter, double dPxPerMmX, double dPxPerMmY, int nPrintableWidth);

    // The pulses of the current format and gain.
    std::vector<CPulse> Pulses() const;
    const CPrintTraceLayout& Layout() const { return m_layout; }

private:
    void DrawGrid(QPainter& painter) const;
    void DrawTraces(QPainter& painter);
    void DrawTexts(QPainter& painter, int nWidth, int nTop, int nBottom);

    CWaveBuffer* m_pWave = nullptr;
    CEkgRecordInfo* m_pInfo = nullptr;
    CMorphologyTable* m_pMorph = nullptr;
    CEkgDeviceInfo* m_pDevice = nullptr;
    CPrintTraceLayout m_layout;
    int m_nFormat = 1, m_nGain = 3, m_nRhythmLead = 1;
    BOOL m_bStatements = TRUE, m_bMeasurements = TRUE, m_bComment = FALSE, m_bPacemaker = TRUE;
    CPenSpec m_graphPen{PS_SOLID, 1, 0};
    BOOL m_bGraphPenSet = FALSE;
    CPenSpec m_gridPen{PS_SOLID, 2, 0x8080FF};
    CPenSpec m_innerPen{PS_SOLID, 1, 0xBFBFFF};
};
