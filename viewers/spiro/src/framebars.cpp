// The frame's bars (graph-style, patient, result) and the program's own dialogs.
#include "pulmetra/framebars.h"

#include <QFileDialog>
#include <QLayout>
#include <QStringList>

#include "pulmetra/bars/graphstylebar.h"
#include "pulmetra/bars/patientbar.h"
#include "pulmetra/bars/pulmetradialogs.h"
#include "pulmetra/bars/resultbar.h"
#include "pulmetra/mainframe.h"
#include "pulmetra/pulmetragraphwnd.h"
#include "pulmetra/pulmetraview.h"

namespace {
class CFrameBars : public CPulmetraBars {
public:
    explicit CFrameBars(CMainFrame& frame) {
        COxuPulmetraView* pView = frame.View();
        m_pStyle = new CGraphStyleBar(
            [pView](int nItem, int nValue) { return pView->OnStyleMessage(nItem, nValue); });
        m_pStyle->SetCommandTarget([&frame](UINT nID) { frame.Commands().OnCommand(nID); });
        m_pPatient = new CPulmetraPatientBar;
        m_pResult = new CPulmetraResultBar;
        m_pResult->SetLayoutHandler([&frame] {
            if (QLayout* l = frame.layout())
                l->invalidate();
        });
        pStyleBar = m_pStyle;
        pPatientBar = m_pPatient;
        pResultBar = m_pResult;
    }
    void Refresh(CPulmetraGraphWnd* pActive) override {
        if (!pActive) {
            m_pPatient->Refresh(nullptr);
            m_pResult->Refresh(nullptr);
            return;
        }
        m_pPatient->Refresh(pActive, pActive->GetRecordPath());
        m_pResult->Refresh(pActive, pActive->GetRecordPath(), pActive->HasFile() != FALSE);
    }
    void SelectZoom(int nIndex) override { m_pStyle->OnFrameMessage(17, nIndex + 1); }
    void RefreshStyleBar() override { m_pStyle->OnFrameMessage(30, 0); }
    void SetCommandState(unsigned nID, bool bEnabled, const QString& text) override {
        m_pStyle->SetCommandState(nID, bEnabled, text);
    }

private:
    CGraphStyleBar* m_pStyle;
    CPulmetraPatientBar* m_pPatient;
    CPulmetraResultBar* m_pResult;
};

// "Name|*.ext|Name|*.ext||" as the name filters of a file dialog.
QStringList NameFilters(const CString& strFilter) {
    const QStringList parts = QString::fromLocal8Bit(strFilter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].isEmpty())
            out << parts[i].trimmed();
    return out;
}

class CQtPrompts : public IPulmetraPrompts {
public:
    explicit CQtPrompts(QWidget* pParent) : m_pParent(pParent) {}
    CString AskOpenPath() override {
        QFileDialog dlg(m_pParent);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFile);
        dlg.setDefaultSuffix("fvc");
        dlg.setNameFilters(
            NameFilters("FVC Files (*.fvc)|*.fvc|SVC Files (*.svc)|*.svc|MVV Files "
                        "(*.mvv)|*.mvv|All Files (*.*)|*.*||"));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        return dlg.selectedFiles().first().toLocal8Bit().toStdString();
    }
    CString AskSavePath(const CString& strProposed, const CString& strFilter, BOOL& bSaveText,
                        int& nFilterIndex) override {
        const QStringList filters = NameFilters(strFilter);
        // No default suffix: the view gives a name without one the chosen filter's.
        CSpiroFileDialog dlg(false, {}, QString::fromLocal8Bit(strProposed), filters.join(";;"),
                             m_pParent);
        dlg.setOption(QFileDialog::DontConfirmOverwrite);  // the view asks itself
        dlg.m_bSaveText = bSaveText;
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        bSaveText = dlg.m_bSaveText;
        nFilterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
        return dlg.selectedFiles().first().toLocal8Bit().toStdString();
    }
    int RunDialog(QDialog& dlg) override { return dlg.exec(); }

private:
    QWidget* m_pParent;
};
}  // namespace

std::unique_ptr<CPulmetraBars> MakePulmetraBars(CMainFrame& frame) {
    return std::make_unique<CFrameBars>(frame);
}

std::unique_ptr<IPulmetraPrompts> MakePulmetraPrompts(QWidget* pParent) {
    return std::make_unique<CQtPrompts>(pParent);
}
