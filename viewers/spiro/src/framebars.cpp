// The frame's bars and dialogs. Until the bars are built, the frame has none and the
// save dialog is a plain file dialog.
#include "pulmetra/framebars.h"

#include <QFileDialog>
#include <QStringList>

#include "pulmetra/mainframe.h"
#include "pulmetra/pulmetraview.h"

namespace {
class CNoBars : public CPulmetraBars {
public:
    void Refresh(CPulmetraGraphWnd*) override {}
    void SelectZoom(int) override {}
    void RefreshStyleBar() override {}
    void RunSettings() override {}
};

// "Name|*.ext|Name|*.ext||" as name filters of a file dialog.
QStringList NameFilters(const CString& strFilter) {
    QStringList parts = QString::fromLocal8Bit(strFilter).split('|');
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
        const QString s = QFileDialog::getOpenFileName(
            m_pParent, {}, {}, "FVC Files (*.fvc);;SVC Files (*.svc);;MVV Files (*.mvv);;All Files (*)");
        return s.toLocal8Bit().toStdString();
    }
    CString AskSavePath(const CString& strProposed, const CString& strFilter, BOOL&, int& nFilterIndex) override {
        QFileDialog dlg(m_pParent);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setOption(QFileDialog::DontConfirmOverwrite);  // the view asks itself
        const QStringList filters = NameFilters(strFilter);
        dlg.setNameFilters(filters);
        dlg.selectFile(QString::fromLocal8Bit(strProposed));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return {};
        nFilterIndex = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
        return dlg.selectedFiles().first().toLocal8Bit().toStdString();
    }
    int RunDialog(QDialog& dlg) override { return dlg.exec(); }

private:
    QWidget* m_pParent;
};
}  // namespace

std::unique_ptr<CPulmetraBars> MakePulmetraBars(CMainFrame&) {
    return std::make_unique<CNoBars>();
}

std::unique_ptr<IPulmetraPrompts> MakePulmetraPrompts(QWidget* pParent) {
    return std::make_unique<CQtPrompts>(pParent);
}
