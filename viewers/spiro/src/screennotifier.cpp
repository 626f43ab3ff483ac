#include "pulmetra/screennotifier.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/codepage.h"

int CScreenNotifier::Ask(const std::string& text, const std::string& caption, unsigned type) {
    QMessageBox box(QApplication::activeWindow());
    box.setText(QString::fromStdString(platform::ToUtf8(text)));
    box.setWindowTitle(caption.empty() ? QString("Pulmetra")
                                       : QString::fromStdString(platform::ToUtf8(caption)));
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
            break;
        case platform::MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case platform::MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
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
