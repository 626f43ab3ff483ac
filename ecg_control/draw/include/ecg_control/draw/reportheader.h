#pragma once
// The text block of the report page: title, patient block, global measurements,
// statements, doctor's comment, representative-beat table and footer.
#include <vector>

#include <QFont>
#include <QRect>

#include "ecg_control/ekgrecord.h"
#include "platform/wintypes.h"

class QPainter;

// One text of the page and the box it is drawn in (8-bit text, Qt alignment flags).
struct CReportText {
    CString strText;
    QRect rcBox;
    int nFlags = 0;
    BOOL bTitle = FALSE;
};

class CReportHeader {
public:
    void SetSources(CEkgRecordInfo* pInfo, CMorphologyTable* pMorph, CEkgDeviceInfo* pDevice) {
        m_pInfo = pInfo;
        m_pMorph = pMorph;
        m_pDevice = pDevice;
    }
    void SetSettings(int nFormat, int nGain, int nRhythmLead, int nCell);
    void SetShowStatements(BOOL b) { m_bStatements = b; }
    void SetShowMeasurements(BOOL b) { m_bMeasurements = b; }
    void SetShowComment(BOOL b) { m_bComment = b; }
    void SetFooterOffset(int n) { m_nFooterOffset = n; }
    void SetColors(COLORREF crTitle, COLORREF crText) {
        m_crTitle = crTitle;
        m_crText = crText;
    }
    BOOL GetShowStatements() const { return m_bStatements; }
    BOOL GetShowMeasurements() const { return m_bMeasurements; }
    BOOL GetShowComment() const { return m_bComment; }
    int GetCellSize() const { return m_nCell; }
    // Switches, colours and footer offset of another header (not its sources).
    void CopySettingsFrom(const CReportHeader& other);

    // Every text of the block with the block's origin at (x, y); empty when the record
    // information or the lead table is missing or the cell is below 3.
    std::vector<CReportText> BuildTexts(int x, int y) const;
    void Draw(QPainter& painter, int x, int y) const;

    // Title of the page for a lead format (the texts shared with the other reports are in
    // ecg_control/reporttexts.h).
    static CString TitleText(int nFormat);

private:
    CEkgRecordInfo* m_pInfo = nullptr;
    CMorphologyTable* m_pMorph = nullptr;
    CEkgDeviceInfo* m_pDevice = nullptr;
    int m_nFormat = 0;
    int m_nGain = 3;
    int m_nRhythmLead = 0;
    int m_nCell = 10;
    BOOL m_bStatements = TRUE;
    BOOL m_bMeasurements = TRUE;
    BOOL m_bComment = TRUE;
    COLORREF m_crTitle = 0;
    COLORREF m_crText = 0;
    int m_nFooterOffset = 2;
};
