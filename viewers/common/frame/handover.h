#pragma once
// What a second start hands over reaches the frame only between commands. A command that
// opens a dialog or asks a question acts on the exam it was started for; an exam opened
// under it would take its place in the pane and the answer would go to that one. So a
// hand-over waits while a modal window is up or a notifier question is unanswered, and is
// taken, in the order it came, once the last of them has closed: nothing handed over is lost.
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <utility>

#include "platform/wintypes.h"

namespace viewerapp {

class CHandOverQueue : public QObject {
public:
    using Handler = std::function<void(DWORD dwCode, const CString& strText)>;

    explicit CHandOverQueue(Handler handler, QObject* pParent = nullptr);

    // Gives the text to the handler now, or keeps it until nothing is open any more.
    void Add(DWORD dwCode, const CString& strText);
    // Add, as the single-instance server calls its handler with each text it reads.
    Handler Receiver();
    std::size_t Waiting() const { return m_waiting.size(); }
    // TRUE while a hand-over must wait: a modal window or a question is open.
    static bool MustWait();

private:
    void TakeWaiting();

    Handler m_handler;
    std::deque<std::pair<DWORD, CString>> m_waiting;
    // Looks again while something waits: a closing dialog or question says nothing itself.
    QTimer m_retry;
    bool m_bTaking = false;
};

}  // namespace viewerapp
