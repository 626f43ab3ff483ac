#pragma once
// Answers Lindar's print dialog as a user would, from the event loop the dialog runs.
#include <QApplication>
#include <QTimer>

#include <functional>

#include "viewers/common/printdialogs.h"

// Queued before the command that opens it: once the next print dialog shows, the action
// answers it.
inline void OnPrintDialog(std::function<void(CEkgPrintDialog*)> act) {
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, act = std::move(act)] {
        auto* pDlg = qobject_cast<CEkgPrintDialog*>(QApplication::activeModalWidget());
        if (!pDlg || !pDlg->isVisible())
            return;
        pTimer->stop();
        pTimer->deleteLater();
        act(pDlg);
    });
    pTimer->start();
}
