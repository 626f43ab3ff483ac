#pragma once
// Command ids of a frame on QActions: each id has its handler and an update handler that
// says whether the command is enabled and checked. The update pass runs when a menu opens
// and in an idle pass for the tool bars, and again right before a command runs, so a
// disabled command never runs (from a key, a menu or a posted id).
#include <QObject>
#include <QString>
#include <functional>
#include <map>

class QAction;
class QMenu;

struct CCmdUI {
    unsigned m_nID = 0;
    bool m_bEnabled = true;
    bool m_bChecked = false;
    bool m_bCheckable = false;
    void Enable(bool b = true) { m_bEnabled = b; }
    void SetCheck(bool b = true) {
        m_bCheckable = true;
        m_bChecked = b;
    }
};

class CCommandMap : public QObject {
public:
    using Handler = std::function<void()>;
    using Updater = std::function<void(CCmdUI&)>;

    explicit CCommandMap(QObject* pParent = nullptr);

    // The action of the id (made on first use, owned by this map). A tab in the text puts the
    // keys after it on the command ("&Print ...\tCtrl+P").
    QAction* Add(unsigned nID, const QString& strText, Handler handler, Updater updater = {});
    QAction* Action(unsigned nID) const;
    // Runs the command when it exists and is enabled; TRUE when it ran.
    bool OnCommand(unsigned nID);
    // Queues the command for the event loop, as a posted command message.
    void PostCommand(unsigned nID);
    CCmdUI Query(unsigned nID) const;
    // Brings the enabled and checked states of every action up to date.
    void UpdateAll();
    // Makes a menu refresh its actions when it opens.
    void WatchMenu(QMenu* pMenu);

private:
    struct Entry {
        QAction* pAction = nullptr;
        Handler handler;
        Updater updater;
    };
    void Apply(const Entry& e) const;
    std::map<unsigned, Entry> m_entries;
};
