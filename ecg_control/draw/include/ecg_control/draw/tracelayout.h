#pragma once
// Trace layout: turns the lead samples of a record into ready-to-draw points for the
// current lead format, gain, speed, rhythm lead and cell size (pixels per millimetre of
// ECG paper). Pure arithmetic; the painters only draw what it holds.
#include <array>
#include <cstdint>
#include <vector>

#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_control/reporttexts.h"
#include "platform/wintypes.h"

// One point of the layout's point block.
struct CTracePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

constexpr int kLeadCount = 12;
// Every drawing path labels leads with the one table of names.
using ekgreport::LeadName;

// Lead formats.
enum : int {
    kFormat12x1 = 0,  // 12 leads under each other, whole record
    kFormat6x2 = 1,   // two columns of six leads + rhythm strip
    kFormat3x4 = 2,   // four columns of three leads + rhythm strip
    kFormatBeat = 3,  // representative beats, four columns of three
};

class CTraceLayout : public CGlobalBuffer {
public:
    static constexpr int kMaxFiducials = 60;
    // Sample counts either side of the baseline that a trace's strip holds: five
    // millivolts, more than any heart gives. Only a saturated or broken input goes beyond,
    // and it is cut there instead of being stroked across the whole page.
    static constexpr int kStripCounts = 2048;

    CTraceLayout();
    ~CTraceLayout() override;

    // Unsized again: channels and samples 0, no pixel marks, origin flag set.
    void Free() override;

    void Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph);
    // The sources' contents changed (a new record of the same shape): recompute next time.
    void Invalidate() { m_bDirty = TRUE; }

    void SetSettings(int nFormat, int nGain, int nSpeed, int nRhythmLead, int nCell);
    void SetFormat(int nFormat);
    void SetGain(int nGain);
    void SetSpeed(int nSpeed);
    // Any value is kept; a lead outside 0..11 simply means no rhythm strip.
    void SetRhythmLead(int nLead);
    // Pixels per millimetre; values below 1 are taken as 1. Large cell = 5 x cell.
    void SetCellSize(int nCell);
    // Takes the other layout's sources and its five settings.
    void CopySettings(const CTraceLayout& other);
    // Large boxes across the paper the traces are drawn on (0: as wide as the record).
    // A record wider than its paper at the speed is shown from its start for as long as
    // the paper holds, at the same scale: a 12-second 60 Hz record on a 50-box page shows
    // its first 10 seconds. Nothing runs off the grid.
    void SetPaperColumns(int nColumns);

    // Recomputes the points when a setting, the origin or the source's shape changed.
    // 1 on success, 0 when the sample buffer is missing or empty or no point block can be
    // had.
    BOOL Compute();
    BOOL Compute(int nOriginX, int nOriginY);

    // Readers for the drawing code.
    const CTracePoint* Points() const { return reinterpret_cast<const CTracePoint*>(Data()); }
    // Row nLead of the point block (nLead == channels is the rhythm row); null when unsized.
    const CTracePoint* LeadPoints(int nLead) const;
    int GetFormat() const { return m_nFormat; }
    int GetGain() const { return m_nGain; }
    int GetSpeed() const { return m_nSpeed; }
    int GetRhythmLead() const { return m_nRhythmLead; }
    int GetCellSize() const { return m_nCell; }
    int GetLargeCell() const { return m_nLarge; }
    int GetColumns() const { return m_nColumns; }
    int GetRows() const { return m_nRows; }
    int GetSegment() const { return m_nSegment; }
    int GetChannels() const { return m_nChannels; }
    // Samples of each lead that the layout shows (the whole record, or what the paper
    // holds); a lead row of the point block is as long as the record.
    int GetSamples() const { return m_nShown; }
    int GetPaperColumns() const { return m_nPaperColumns; }
    int GetOriginX() const { return m_nOriginX; }
    int GetOriginY() const { return m_nOriginY; }
    BOOL IsDirty() const { return m_bDirty; }
    BOOL GetOriginFlag() const { return m_bOriginFlag; }
    // Start of lead nLead's baseline (0..11), or of the rhythm strip (12).
    CTracePoint GetCellPosition(int nIndex) const;
    // (-1, -1) when the format has no rhythm strip or the rhythm lead is not a lead.
    CTracePoint GetRhythmPosition() const { return m_aCellPos[kLeadCount]; }
    BOOL HasRhythmStrip() const { return m_aCellPos[kLeadCount].x != -1; }
    double GetPixelsPerSample() const { return m_dPixelsPerSample; }
    double GetSampleRatio() const { return m_dSampleRatio; }
    double GetAmplitudeFactor() const { return m_dAmplitude; }
    const std::vector<DWORD>& GetPixelMarks() const { return m_adwPixelMarks; }
    int GetFiducialCount() const { return m_nFiducials; }
    const CTracePoint* GetFiducials() const { return m_aFiducials.data(); }
    // The strip of row nRow (a lead, or the rhythm strip as row GetChannels()): from
    // *pnTop to *pnBottom, its baseline +- kStripCounts at the row's scale. FALSE for a
    // row that is not drawn.
    BOOL GetStrip(int nRow, int* pnTop, int* pnBottom) const;
    // Amplitude multiplier of a gain code.
    static int GainFactor(int nGain);
    // First sample that lead nLead shows in the current format.
    int ColumnStart(int nLead) const;
    CWaveBuffer* GetWave() const { return m_pWave; }
    CEkgRecordInfo* GetInfo() const { return m_pInfo; }
    CMorphologyTable* GetMorph() const { return m_pMorph; }

protected:
    // Cell arrangement for the shown samples, nWidth pixels wide at 25 mm/s; the paper
    // layout replaces it.
    virtual void UpdateLayout(int nWidth);
    // Stores the arrangement and the cell positions; shared by both variants.
    void PlaceCells(int nColumns, int nRows, int nSegment, int nFirst, int nPitch, int nStep);

    BOOL m_bFixedSpeed = FALSE;

private:
    BOOL PrepareBuffer();
    // Pixels per sample, amplitude, the shown samples and their width at 25 mm/s.
    void Scale(int nMainsMode);
    void ComputeX();
    void ComputeY();
    int Height(int nLead, int nSample) const;
    CTracePoint* Row(int nLead);

    CWaveBuffer* m_pWave = nullptr;
    CEkgRecordInfo* m_pInfo = nullptr;
    CMorphologyTable* m_pMorph = nullptr;

    int m_nFormat = kFormat12x1;
    int m_nGain = 3;
    int m_nSpeed = 2;
    int m_nRhythmLead = 0;
    int m_nCell = 2;
    int m_nLarge = 10;

    int m_nColumns = 1;
    int m_nRows = 12;
    int m_nChannels = 0;
    int m_nSamples = 0;
    int m_nShown = 0;
    int m_nShownWidth = 0;
    int m_nPaperColumns = 0;
    int m_nSegment = 0;
    // Arrangement of the last known format, kept for format codes above 3.
    int m_nFirst = 2, m_nPitch = 3, m_nStep = 0;
    int m_nOriginX = 0;
    int m_nOriginY = 0;
    std::array<CTracePoint, kLeadCount + 1> m_aCellPos{};
    double m_dPixelsPerSample = 0.0;
    double m_dSampleRatio = 0.0;
    double m_dAmplitude = 0.0;
    std::vector<DWORD> m_adwPixelMarks;
    std::array<CTracePoint, kMaxFiducials> m_aFiducials{};
    int m_nFiducials = 0;
    BOOL m_bDirty = TRUE;
    BOOL m_bOriginFlag = TRUE;
};

// Paper layout: speed fixed at 25 mm/s, a paper of 50 large boxes (250 mm) and its own
// cell arrangement.
class CPrintTraceLayout : public CTraceLayout {
public:
    static constexpr int kPaperColumns = 50;
    CPrintTraceLayout();

protected:
    void UpdateLayout(int nWidth) override;
};
