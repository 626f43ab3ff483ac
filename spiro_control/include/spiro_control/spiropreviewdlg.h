#pragma once
// The print preview: a modal dialog laid out in dialog units of its Arial 9 font ("Print
// Preview", 343 x 402) with "Print" (OK), "Close" (Cancel), a grey shadow and the page
// picture, which shows the report page rendered at exactly the picture's size.
#include <QDialog>
#include <QImage>

class CSpiroExport;
class QLabel;

class CSpiroPreviewDlg : public QDialog {
public:
    // Control identifiers of the dialog template.
    static constexpr int kIdPicture = 201;

    explicit CSpiroPreviewDlg(CSpiroExport* pExport, QWidget* pParent = nullptr);

    // Dialog units of the dialog's font to pixels.
    QRect MapDialogRect(int x, int y, int w, int h) const;
    const QImage& PageImage() const { return m_page; }
    QLabel* Picture() const { return m_pPicture; }

private:
    void OnInitDialog();

    CSpiroExport* m_pExport;
    QImage m_page;  // lives as long as the dialog
    QLabel* m_pPicture = nullptr;
    int m_nBaseX = 1;
    int m_nBaseY = 1;
};
