#pragma once
// ECG paper: millimetre grid with its 5 mm lines, inner 1 mm lines and border.
#include <optional>

#include <QPen>
#include <QRect>

#include "ecg_control/draw/drawtools.h"
#include "platform/wintypes.h"

class QPainter;

class CEkgGrid {
public:
    CEkgGrid();

    // Pixels per millimetre; values below 1 are taken as 1.
    void SetCellSize(int nCell);
    void SetColumnsRows(int nColumns, int nRows);
    void SetBorder(int nCells);
    void SetBackground(COLORREF cr);
    void ShowInner(BOOL bShow);
    // 1 when a new pen was made, 0 when nothing changed or the pen could not be made.
    BOOL SetGridPen(int nStyle, int nWidth, COLORREF cr);
    BOOL SetInnerPen(int nStyle, int nWidth, COLORREF cr);

    int GetCellSize() const { return m_nCell; }
    int GetLargeCell() const { return 5 * m_nCell; }
    int GetColumns() const { return m_nColumns; }
    int GetRows() const { return m_nRows; }
    int GetBorder() const { return m_nBorder; }
    COLORREF GetBackground() const { return m_crBackground; }
    BOOL GetShowInner() const { return m_bShowInner; }
    const CPenSpec& GetGridPenSpec() const { return m_gridSpec; }
    const CPenSpec& GetInnerPenSpec() const { return m_innerSpec; }
    BOOL HasGridPen() const { return m_gridPen.has_value(); }
    BOOL IsDirty() const { return m_bDirty; }
    void ClearDirty() { m_bDirty = FALSE; }

    // Size without border, and with it (each side grows by border x cell).
    int GetWidth() const { return m_nColumns * GetLargeCell(); }
    int GetHeight() const { return m_nRows * GetLargeCell(); }
    int GetBorderWidth() const { return GetWidth() + 2 * m_nBorder * m_nCell; }
    int GetBorderHeight() const { return GetHeight() + 2 * m_nBorder * m_nCell; }
    // Border width in pixels.
    int GetBorderPixels() const { return m_nBorder * m_nCell; }

    // Fills the grid's rectangle with the background and draws the lines, outer corner at
    // (x, y).
    void Draw(QPainter& painter, int x, int y) const;
    // Draws the lines (no fill) inside rcClip so that grid point (nOffsetX, nOffsetY) (outer
    // corner = (0, 0)) lands at the rectangle's corner.
    void DrawClipped(QPainter& painter, QRect rcClip, int nOffsetX, int nOffsetY) const;

    // Copies every setting and pen of another grid.
    void CopyFrom(const CEkgGrid& other);

private:
    void DrawLines(QPainter& painter, int x, int y) const;

    int m_nCell = 2;
    int m_nColumns = 50;
    int m_nRows = 37;
    int m_nBorder = 3;
    COLORREF m_crBackground = 0xFFFFFF;
    BOOL m_bShowInner = TRUE;
    CPenSpec m_gridSpec{PS_SOLID, 1, 0x8080FF};
    CPenSpec m_innerSpec{PS_SOLID, 1, 0xBFBFFF};
    std::optional<QPen> m_gridPen;
    std::optional<QPen> m_innerPen;
    BOOL m_bDirty = TRUE;
};
