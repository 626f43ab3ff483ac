#pragma once
// The left pane of the frame: the patient bar and the analysis bar as two pages switched by
// two tab buttons ("Informações", "Análise"), and a button that folds the pane to a
// 6-pixel strip and back.
#include <QWidget>

class CAnalysisBar;
class CPatientBar;
class CLindarGraphWnd;
class QPushButton;
class QToolButton;

class CLeftPane : public QWidget {
public:
    enum : int { IDC_INFO = 1025, IDC_ANALYSIS = 1026, IDC_MINIMIZE = 1096 };
    static constexpr int kMinimizedWidth = 6;

    // Takes both pages as its children.
    CLeftPane(CPatientBar* pPatient, CAnalysisBar* pAnalysis, QWidget* pParent = nullptr);
    void ShowInfo();
    void ShowAnalysis();
    bool IsInfoShown() const;
    void SetMinimized(bool bOn);
    bool IsMinimized() const { return m_bMinimized; }
    QPushButton* InfoButton() const { return m_pInfo; }
    QPushButton* AnalysisButton() const { return m_pAnalysisTab; }
    QToolButton* MinimizeButton() const { return m_pMinimize; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Layout();
    CPatientBar* m_pPatient;
    CAnalysisBar* m_pAnalysis;
    QPushButton* m_pInfo = nullptr;
    QPushButton* m_pAnalysisTab = nullptr;
    QToolButton* m_pMinimize = nullptr;
    bool m_bMinimized = false;
    int m_nNormalWidth = 300;
};
