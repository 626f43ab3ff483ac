#pragma once
// The small popup that shows what the ECG control's measuring tool reports: a width with
// its heart rate, or a height.
#include <QDialog>

class CExEdit;

class CMeasureReadoutDialog : public QDialog {
    Q_OBJECT
public:
    enum : int { IDC_WIDTH_MS = 1079, IDC_RATE_BPM = 1080, IDC_HEIGHT_MM = 1081 };
    explicit CMeasureReadoutDialog(QWidget* pParent = nullptr);
    void SetWidth(int nMs, int nBpm);
    // 0 clears the popup (the measuring tool was turned off).
    void SetHeight(int nMm);
    int WidthMs() const { return m_nWidth; }
    int RateBpm() const { return m_nRate; }
    int HeightMm() const { return m_nHeight; }
    CExEdit* Box(int nId) const;

private:
    void Show();
    CExEdit* m_pWidth;
    CExEdit* m_pRate;
    CExEdit* m_pHeight;
    int m_nWidth = 0, m_nRate = 0, m_nHeight = 0;
};
