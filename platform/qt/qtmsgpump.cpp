#include "platform/qtmsgpump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include "platform/msgpump.h"

namespace platform {

int PumpQtEvents() {
    QCoreApplication* pApp = QCoreApplication::instance();
    if (!pApp || QCoreApplication::closingDown() || QThread::currentThread() != pApp->thread())
        return 0;
    // What QCoreApplication::processEvents does, without waiting, but telling whether
    // anything ran: a caller that pumps until nothing is left must come to an end.
    QAbstractEventDispatcher* pDispatcher = QThread::currentThread()->eventDispatcher();
    return pDispatcher && pDispatcher->processEvents(QEventLoop::AllEvents) ? 1 : 0;
}

void InstallQtMessagePump() {
    SetMessagePump(&PumpQtEvents);
}

}  // namespace platform
