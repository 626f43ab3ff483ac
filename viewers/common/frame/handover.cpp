#include "handover.h"

#include <QApplication>

#include "platform/notifier.h"

namespace viewerapp {

namespace {
constexpr int kRetryMs = 50;
}

CHandOverQueue::CHandOverQueue(Handler handler, QObject* pParent)
    : QObject(pParent), m_handler(std::move(handler)) {
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] { TakeWaiting(); });
}

bool CHandOverQueue::MustWait() {
    return QApplication::activeModalWidget() != nullptr || platform::OpenQuestions() > 0;
}

void CHandOverQueue::Add(DWORD dwCode, const CString& strText) {
    m_waiting.emplace_back(dwCode, strText);
    TakeWaiting();
}

CHandOverQueue::Handler CHandOverQueue::Receiver() {
    return [this](DWORD dwCode, const CString& strText) { Add(dwCode, strText); };
}

void CHandOverQueue::TakeWaiting() {
    // A hand-over taken here may ask a question itself ("already open"): what comes during
    // it waits behind, and this loop goes on once it is answered.
    if (m_bTaking)
        return;
    m_bTaking = true;
    while (!m_waiting.empty() && !MustWait()) {
        const auto [dwCode, strText] = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (m_handler)
            m_handler(dwCode, strText);
    }
    m_bTaking = false;
    if (m_waiting.empty())
        m_retry.stop();
    else if (!m_retry.isActive())
        m_retry.start();
}

}  // namespace viewerapp
