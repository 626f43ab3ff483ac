#include "viewers/common/screennotifier.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QShortcut>

#include "platform/codepage.h"

CScreenNotifier::CScreenNotifier(std::string strProgram) : m_strProgram(std::move(strProgram)) {}

bool CScreenNotifier::ScreenAvailable() {
    const QString strPlatform = QGuiApplication::platformName();
    return !strPlatform.isEmpty() && strPlatform != "offscreen" && strPlatform != "minimal";
}

int CScreenNotifier::Ask(const std::string& text, const std::string& caption, unsigned type) {
    return Show(platform::ToUtf8(text), caption, type);
}

int CScreenNotifier::AskInCodePage(const std::string& text, const std::string& codePage,
                                   const std::string& caption, unsigned type) {
    return Show(platform::ToUtf8(text, codePage), caption, type);
}

int CScreenNotifier::Show(const std::string& utf8Text, const std::string& caption, unsigned type) {
    QMessageBox box(QApplication::activeWindow());
    box.setText(QString::fromStdString(utf8Text));
    box.setWindowTitle(
        QString::fromStdString(caption.empty() ? m_strProgram : platform::ToUtf8(caption)));
    switch (type & 0xF0) {
        case platform::MB_ICONERROR:
            box.setIcon(QMessageBox::Critical);
            break;
        case platform::MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case platform::MB_ICONWARNING:
            box.setIcon(QMessageBox::Warning);
            break;
        case platform::MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }
    switch (type & platform::MB_TYPEMASK) {
        case platform::MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case platform::MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case platform::MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    // Ctrl+C copies the box as the system's boxes do: caption, text and buttons between
    // dashed lines (what a user pastes into a support request).
    auto* pCopy = new QShortcut(QKeySequence::Copy, &box);
    QObject::connect(pCopy, &QShortcut::activated, &box, [&box] {
        const QString strLine = "---------------------------\n";
        QString strButtons;
        for (QAbstractButton* b : box.buttons())
            strButtons += b->text().remove('&') + "   ";
        QGuiApplication::clipboard()->setText(strLine + box.windowTitle() + "\n" + strLine +
                                              box.text() + "\n" + strLine + strButtons + "\n" +
                                              strLine);
    });
    switch (box.exec()) {
        case QMessageBox::Ok:
            return platform::IDOK;
        case QMessageBox::Yes:
            return platform::IDYES;
        case QMessageBox::No:
            return platform::IDNO;
        default:
            return (type & platform::MB_TYPEMASK) == platform::MB_YESNO ? platform::IDNO
                                                                        : platform::IDCANCEL;
    }
}
