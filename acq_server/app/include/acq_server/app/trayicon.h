#pragma once
// The server's notification-area icon: icon, tip and popup menu on QSystemTrayIcon. Where
// the desktop offers no tray (the old "below version 4" case) nothing is added and every
// later call does nothing; the frame then shows itself with the same menu.
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QMenu;
class QWidget;

class CTrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int kBalloonMs = 5 * 200;  // 5 x 200 ms x the multiplier

    CTrayIcon();
    ~CTrayIcon() override;

    // Adds the icon when a tray exists (and the test hook does not deny it) and the owner
    // is valid; the enabled flag is the result. nId names the menu (138).
    bool Create(QWidget* pOwner, const QString& strTip, int nIconResource, int nId);
    bool IsEnabled() const { return m_bEnabled; }

    void SetIcon(int nIconResource);
    int GetIconResource() const { return m_nIconResource; }
    void SetTooltipText(const QString& strTip);
    QString GetTooltipText() const { return m_strTip; }
    void ShowBalloon(const QString& strText);
    void HideIcon();
    void ShowIcon();
    void RemoveIcon();
    void SetNotificationWnd(QWidget* pOwner) { m_pOwner = pOwner; }
    bool IsVisible() const { return m_pTray && m_pTray->isVisible(); }

    // The popup menu the icon shows (built by the frame from its command table).
    void SetMenu(QMenu* pMenu) { m_pMenu = pMenu; }
    // Left double click sends this command: the menu's first item.
    void SetDoubleClickCommand(std::function<void()> fn) { m_onDoubleClick = std::move(fn); }

    // What the shell's callback did: reason as QSystemTrayIcon gives it.
    virtual void OnTrayNotification(QSystemTrayIcon::ActivationReason reason);

    // Tests and special desktops: whether a tray counts as available (default: Qt's answer).
    static void SetAvailabilityHook(std::function<bool()> fn);
    static bool TrayAvailable();

    QSystemTrayIcon* Tray() const { return m_pTray.get(); }

private:
    bool m_bEnabled = false;
    bool m_bHidden = false;
    QPointer<QWidget> m_pOwner;
    QPointer<QMenu> m_pMenu;
    std::unique_ptr<QSystemTrayIcon> m_pTray;
    QString m_strTip;
    int m_nIconResource = 0;
    int m_nId = 0;
    std::function<void()> m_onDoubleClick;
};
