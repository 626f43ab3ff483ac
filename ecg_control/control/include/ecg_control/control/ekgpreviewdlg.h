#pragma once
// "EKG Print Preview": the report page of the view drawn at 3 pixels per millimetre on a
// grey area, with a Print and a Close button. Exec() gives 1 for Print, 2 for Close.
#include <QDialog>
#include <functional>

#include "ecg_control/draw/ekgpage.h"

class CEkgPreviewDlg : public QDialog {
public:
    static constexpr int kWidth = 880, kHeight = 720;
    static constexpr COLORREF kGrey = 0x7F7F7F;

    // Takes a copy of the page (sources, grid, pens, settings, text switches).
    CEkgPreviewDlg(const CEkgPage& page, QWidget* pParent = nullptr);
    // 1 Print, 2 Close (or closed otherwise).
    int Run();
    // Stands in for the operator of every preview of the process (tests without one); the
    // previous one is returned. Empty: the dialog runs modally.
    using Runner = std::function<int(CEkgPreviewDlg&)>;
    static Runner SetRunner(Runner runner);
    // What the dialog paints (for tests and the paint event alike).
    QImage Render();

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    CEkgPage m_page;
};
