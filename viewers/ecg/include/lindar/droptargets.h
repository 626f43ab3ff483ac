#pragma once
// Drag and drop of Lindar. The view's drop target answers drags of exams from an exam tree
// ("ExamTreeCtrlFormat") and takes their drop without further action; files dragged from
// the desktop pass on to the frame, which opens each dropped record as an exam.
#include <QObject>
#include <functional>

#include "platform/wintypes.h"

class QWidget;
class QMimeData;
class QDragMoveEvent;

class CExamDropTarget : public QObject {
public:
    explicit CExamDropTarget(QObject* pParent = nullptr) : QObject(pParent) {}
    // Drags over pWnd go to its handlers below; over any other window they get no drop.
    void Register(QWidget* pWnd);
    QWidget* Window() const { return m_pWnd; }

    // The view's answers.
    static Qt::DropAction OnDragEnter(const QMimeData* pData);
    static Qt::DropAction OnDragOver(const QMimeData* pData);
    // Scrolling while dragging: copy with Ctrl down, else move.
    static Qt::DropAction ScrollEffect(Qt::KeyboardModifiers mods);

protected:
    bool eventFilter(QObject* pObj, QEvent* e) override;

private:
    QWidget* m_pWnd = nullptr;
};

// Files dropped on the frame from the desktop: each local file goes to the callback.
class CFileDropTarget : public QObject {
public:
    using OpenFn = std::function<void(const CString&)>;
    CFileDropTarget(QWidget* pWnd, OpenFn open);
    static bool HasFiles(const QMimeData* pData);

protected:
    bool eventFilter(QObject* pObj, QEvent* e) override;

private:
    QWidget* m_pWnd;
    OpenFn m_open;
};
