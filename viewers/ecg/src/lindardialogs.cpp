#include "lindar/lindardialogs.h"

#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "lindar/lindargraphwnd.h"
#include "viewers/common/devicedialogs.h"
#include "viewers/common/orderdialogs.h"
#include "viewers/common/printdialogs.h"
#include "viewers/common/receivedialog.h"
#include "viewers/common/viewerini.h"

namespace {

CPrintPen ToDialog(const CPen& p) { return {p.nStyle, p.nWidth, p.crColour}; }
CPen FromDialog(const CPrintPen& p) { return {p.nStyle, p.nWidth, p.crColour}; }

}  // namespace

namespace lindar {

bool RunPrintDialog(QWidget* pParent, CPrintSettings& s) {
    CEkgPrintDialog dlg(pParent);
    dlg.m_strPrinter = QString::fromLocal8Bit(s.strPrinter);
    dlg.m_bPrintInterpretation = s.flags[0];
    dlg.m_bPrintParameters = s.flags[1];
    dlg.m_bPrintComments = s.flags[2];
    dlg.m_bPrintPacemaker = s.flags[3];
    dlg.m_pens = {ToDialog(s.grid), ToDialog(s.inner), ToDialog(s.trace)};
    // Enter accepts, as in the system's print dialog.
    if (auto* pOk = dlg.findChild<QPushButton*>("1"))
        pOk->setDefault(true);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    s.strPrinter = dlg.m_strPrinter.toLocal8Bit().toStdString();
    s.nCopies = dlg.m_nCopies;
    s.flags = {int(dlg.m_bPrintInterpretation), int(dlg.m_bPrintParameters), int(dlg.m_bPrintComments),
               int(dlg.m_bPrintPacemaker)};
    s.bMonochrome = dlg.m_bMonochrome != 0;
    // A monochrome print ignores the pens shown; the user's own stay for the next print.
    if (!s.bMonochrome) {
        s.grid = FromDialog(dlg.m_pens[0]);
        s.inner = FromDialog(dlg.m_pens[1]);
        s.trace = FromDialog(dlg.m_pens[2]);
    }
    return true;
}

std::array<CPen, 3> PrintPens(const CPrintSettings& s) {
    if (!s.bMonochrome)
        return {s.grid, s.inner, s.trace};
    const auto& mono = CEkgPrintDialog::kMonochromePens;
    return {FromDialog(mono[0]), FromDialog(mono[1]), FromDialog(mono[2])};
}

bool RunPrintSetupDialog(QWidget* pParent, CString& strPrinter) {
    QPrinter printer;
    if (!strPrinter.empty())
        printer.setPrinterName(QString::fromLocal8Bit(strPrinter));
    QPrintDialog dlg(&printer, pParent);
    dlg.setWindowTitle("Print Setup");
    // The set-up only chooses the printer: its button says so, as the print dialog's does.
    if (auto* pButtons = dlg.findChild<QDialogButtonBox*>()) {
        if (QPushButton* pOk = pButtons->button(QDialogButtonBox::Ok))
            pOk->setText("OK");
    }
    if (dlg.exec() != QDialog::Accepted)
        return false;
    strPrinter = printer.printerName().toLocal8Bit().toStdString();
    return true;
}

void RunOrderDialog(QWidget* pParent, const CString& strAddress, int nPort) {
    COrderDialog dlg(pParent);
    dlg.SetAddress(QString::fromLocal8Bit(strAddress));
    dlg.SetPort(nPort);
    dlg.exec();
}

CString RunReceiveDialog(QWidget* pParent) {
    CViewerIni ini("Lindar");
    CEcgReceiveDialog dlg(ini, pParent);
    if (dlg.exec() != QDialog::Accepted)
        return {};
    return dlg.SavedPath();
}

bool RunDeviceSelection(QWidget* pParent, CLindarGraphWnd& pane) {
    CViewerIni ini("Lindar");
    CDeviceSelectDialog dlg(pane, ini, pParent);
    return dlg.exec() == QDialog::Accepted;
}

}  // namespace lindar
