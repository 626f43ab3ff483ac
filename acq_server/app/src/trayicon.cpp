#include "acq_server/app/trayicon.h"

#include <QCursor>
#include <QMenu>
#include <QWidget>

#include "acq_server/app/icons.h"

namespace {
std::function<bool()>& AvailabilityHook() {
    static std::function<bool()> fn;
    return fn;
}
}  // namespace

CTrayIcon::CTrayIcon() = default;

CTrayIcon::~CTrayIcon() { RemoveIcon(); }

void CTrayIcon::SetAvailabilityHook(std::function<bool()> fn) { AvailabilityHook() = std::move(fn); }

bool CTrayIcon::TrayAvailable() {
    if (AvailabilityHook())
        return AvailabilityHook()();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool CTrayIcon::Create(QWidget* pOwner, const QString& strTip, int nIconResource, int nId) {
    m_pOwner = pOwner;
    m_strTip = strTip.left(127);
    m_nIconResource = nIconResource;
    m_nId = nId;
    if (!pOwner || !TrayAvailable())
        return m_bEnabled = false;
    m_pTray = std::make_unique<QSystemTrayIcon>(qaricons::Icon(nIconResource));
    m_pTray->setToolTip(m_strTip);
    connect(m_pTray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) { OnTrayNotification(r); });
    m_pTray->show();
    m_bHidden = false;
    return m_bEnabled = true;
}

void CTrayIcon::SetIcon(int nIconResource) {
    if (!m_bEnabled)
        return;
    m_nIconResource = nIconResource;
    m_pTray->setIcon(qaricons::Icon(nIconResource));
}

void CTrayIcon::SetTooltipText(const QString& strTip) {
    if (!m_bEnabled)
        return;
    m_strTip = strTip.left(127);
    m_pTray->setToolTip(m_strTip);
}

void CTrayIcon::ShowBalloon(const QString& strText) {
    if (!m_bEnabled)
        return;
    m_pTray->showMessage(QString(), strText.left(255), QSystemTrayIcon::NoIcon, kBalloonMs);
}

void CTrayIcon::HideIcon() {
    if (!m_bEnabled || m_bHidden)
        return;
    m_pTray->hide();
    m_bHidden = true;
}

void CTrayIcon::ShowIcon() {
    if (!m_bEnabled || !m_bHidden)
        return;
    m_pTray->show();
    m_bHidden = false;
}

void CTrayIcon::RemoveIcon() {
    if (!m_bEnabled)
        return;
    m_pTray->hide();
    m_pTray.reset();
    m_bEnabled = false;
}

void CTrayIcon::OnTrayNotification(QSystemTrayIcon::ActivationReason reason) {
    if (!m_bEnabled)
        return;
    switch (reason) {
        case QSystemTrayIcon::Context:
        case QSystemTrayIcon::Trigger:
            if (m_pMenu) {
                if (m_pOwner)
                    m_pOwner->activateWindow();
                m_pMenu->popup(QCursor::pos());
            }
            break;
        case QSystemTrayIcon::DoubleClick:
            if (m_onDoubleClick)
                m_onDoubleClick();
            break;
        default:
            break;
    }
}
