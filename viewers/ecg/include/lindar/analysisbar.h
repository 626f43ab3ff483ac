#pragma once
// The two bottom panes: the analysis bar (global measurements, the statements, the
// doctor's comment) and the parameter list (12 leads x 15 measurements). Both read
// everything from the control of the active graph window.
#include <QWidget>

class CLindarGraphWnd;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

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

private:
    CLindarGraphWnd* m_pGraph = nullptr;
    QLineEdit* m_fields[5] = {};
    QTreeWidget* m_pResults = nullptr;
    QTreeWidgetItem* m_pRoot = nullptr;
    QPlainTextEdit* m_pComment = nullptr;
    QPushButton* m_pEdit = nullptr;
    QPushButton* m_pSave = nullptr;
    bool m_bEditing = false;
};

class CParamListBar : public QWidget {
public:
    explicit CParamListBar(QWidget* pParent = nullptr);
    // Fills the table when the window holds an open record, else empties it.
    void ShowExam(CLindarGraphWnd* pGraph);
    QTableWidget* Table() const { return m_pTable; }

private:
    QTableWidget* m_pTable = nullptr;
};
