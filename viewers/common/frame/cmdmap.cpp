#include "cmdmap.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QWidget>

CCommandMap::CCommandMap(QObject* pParent) : QObject(pParent) {}

QAction* CCommandMap::Add(unsigned nID, const QString& strText, Handler handler, Updater updater) {
    Entry& e = m_entries[nID];
    if (!e.pAction) {
        e.pAction = new QAction(strText, this);
        e.pAction->setData(nID);
        connect(e.pAction, &QAction::triggered, this, [this, nID] { OnCommand(nID); });
    }
    // "&Open ...\tCtrl+O": the text, and after the tab the keys that run the command; the
    // frame's window carries the action, so the keys work also while the menus are hidden.
    const qsizetype nTab = strText.indexOf('\t');
    e.pAction->setText(nTab < 0 ? strText : strText.left(nTab));
    if (nTab >= 0) {
        e.pAction->setShortcut(QKeySequence(strText.mid(nTab + 1)));
        if (auto* pWindow = qobject_cast<QWidget*>(parent()))
            pWindow->addAction(e.pAction);
    }
    e.handler = std::move(handler);
    e.updater = std::move(updater);
    Apply(e);
    return e.pAction;
}

QAction* CCommandMap::Action(unsigned nID) const {
    auto it = m_entries.find(nID);
    return it == m_entries.end() ? nullptr : it->second.pAction;
}

CCmdUI CCommandMap::Query(unsigned nID) const {
    CCmdUI ui;
    ui.m_nID = nID;
    auto it = m_entries.find(nID);
    if (it == m_entries.end()) {
        ui.m_bEnabled = false;
        return ui;
    }
    if (it->second.updater)
        it->second.updater(ui);
    else if (!it->second.handler)
        ui.m_bEnabled = false;
    return ui;
}

void CCommandMap::Apply(const Entry& e) const {
    const CCmdUI ui = Query(e.pAction->data().toUInt());
    e.pAction->setEnabled(ui.m_bEnabled);
    if (ui.m_bCheckable) {
        e.pAction->setCheckable(true);
        e.pAction->setChecked(ui.m_bChecked);
    }
}

bool CCommandMap::OnCommand(unsigned nID) {
    auto it = m_entries.find(nID);
    if (it == m_entries.end() || !it->second.handler)
        return false;
    if (!Query(nID).m_bEnabled) {
        Apply(it->second);
        return false;
    }
    Handler h = it->second.handler;
    h();
    return true;
}

void CCommandMap::PostCommand(unsigned nID) {
    QTimer::singleShot(0, this, [this, nID] { OnCommand(nID); });
}

void CCommandMap::UpdateAll() {
    for (auto& [id, e] : m_entries)
        Apply(e);
}

void CCommandMap::WatchMenu(QMenu* pMenu) {
    connect(pMenu, &QMenu::aboutToShow, this, [this] { UpdateAll(); });
}
