#pragma once
// The two bottom panes: the analysis bar (global measurements, the statements, the
// doctor's comment) and the parameter list (12 leads x 15 measurements). Both read
// everything from the control of the active graph window.
#include <QWidget>
#include <functional>
#include <map>

#include "platform/wintypes.h"

class CLindarGraphWnd;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QToolButton;
class CCommentStore;

class CAnalysisBar : public QWidget {
public:
    explicit CAnalysisBar(QWidget* pParent = nullptr);
    void SetActiveGraph(CLindarGraphWnd* p) { m_pGraph = p; }
    // Fills the fields from the control (nullptr empties them).
    void ShowValues(CLindarGraphWnd* pGraph);
    void EnableComment(bool bOn);
    // "Salvar Comentário": writes the comment into the exam's record file.
    void OnSaveComment();
    void OnEdit();

    QLineEdit* Field(int n) const { return m_fields[n]; }  // 0 rate, 1 PR, 2 QRS, 3 QT/QTc, 4 axes
    QTreeWidget* Results() const { return m_pResults; }
    QPlainTextEdit* Comment() const { return m_pComment; }

    // The predefined-comment tree: "Normal" entries stand for their texts, entries under a
    // group of "Predefined" for themselves.
    enum : unsigned { ID_EDIT_NORMAL = 32798, ID_EDIT_PREDEFINED = 32802 };
    void SetComments(const CCommentStore& store);
    // Where "Editar Resultado Normal..." and "Editar Resultado Predefinido..." go.
    void SetCommandSink(std::function<void(unsigned)> f) { m_command = std::move(f); }
    QTreeWidget* Predefined() const { return m_pPredef; }
    // The text an entry stands for; false when the entry is not a comment entry.
    bool EntryText(QTreeWidgetItem* pItem, CString& strText) const;
    // Double click or "Adicionar Comentário": the entry's text appended to the comment.
    void AddEntry(QTreeWidgetItem* pItem);

private:
    void OnPredefContextMenu(const QPoint& pt);
    CLindarGraphWnd* m_pGraph = nullptr;
    QLineEdit* m_fields[5] = {};
    QTreeWidget* m_pResults = nullptr;
    QTreeWidgetItem* m_pRoot = nullptr;
    QPlainTextEdit* m_pComment = nullptr;
    QPushButton* m_pEdit = nullptr;
    QPushButton* m_pSave = nullptr;
    bool m_bEditing = false;
    QTreeWidget* m_pPredef = nullptr;
    QTreeWidgetItem* m_pNormalRoot = nullptr;
    QTreeWidgetItem* m_pPredefRoot = nullptr;
    std::map<CString, CString> m_normalTexts;
    std::function<void(unsigned)> m_command;
};

class CParamListBar : public QWidget {
public:
    explicit CParamListBar(QWidget* pParent = nullptr);
    // Fills the table when the window holds an open record, else empties it.
    void ShowExam(CLindarGraphWnd* pGraph);
    QTableWidget* Table() const { return m_pTable; }
    // Button 1006: minimized the bar is 6 pixels high; it starts minimized.
    void SetMinimized(bool bOn);
    bool IsMinimized() const { return m_bMinimized; }
    QToolButton* MinimizeButton() const { return m_pMinimize; }

private:
    QTableWidget* m_pTable = nullptr;
    QWidget* m_pBody = nullptr;
    QToolButton* m_pMinimize = nullptr;
    bool m_bMinimized = false;
};
