#pragma once
// The ECG viewer's small windows and helpers: splash, About, the save dialog with its four
// report options, the settings-store reader of the DICOM export, the bitmaps, and the
// anchors of the pane layout.
#include <QDialog>
#include <QFileDialog>
#include <QImage>
#include <QTimer>
#include <array>
#include <string>

#include "platform/wintypes.h"

class QCheckBox;
class CButtonST;

namespace vbmp {
enum : UINT { IDB_SPLASH = 140, IDB_OK = 145, IDB_CANCEL = 146 };
// The viewers' own bitmaps (drawn, no files); a null image for an unknown id.
QImage Load(UINT nId);
}  // namespace vbmp

class CSplashDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTimerMs = 1500;
    explicit CSplashDialog(QWidget* pParent = nullptr, int nTimerMs = kTimerMs);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void Finish();
    QImage m_bitmap;
    QTimer m_timer;
};

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* pParent = nullptr);
    CButtonST* OkButton() const { return m_pOk; }

private:
    CButtonST* m_pOk;
};

// Qt's own file dialog (not the desktop's, so that a viewer can add its boxes to it) in the
// framework's terms: open or save, default extension, proposed name, and a filter in Qt's
// form ("JPEG Files(*.jpg);;PDF Files(*.pdf)"). With a default extension, a name typed
// without one gets the extension of the type chosen in the list, as the system's dialog
// gives it; without, the name is handed out as typed.
class CViewerFileDialog : public QFileDialog {
    Q_OBJECT
public:
    CViewerFileDialog(bool bOpen, const QString& defExt, const QString& fileName,
                      const QString& filter, QWidget* pParent = nullptr);
    // The extension a filter names ("PDF Files (*.pdf)" gives "pdf"); empty for "*.*".
    static QString FilterSuffix(const QString& filter);

public slots:
    void accept() override;

private:
    bool m_bFollowType = false;
};

// The save dialog: four options below the file-type list, enabled for the first two types
// of the filter (JPEG, PDF) only, stored back when the dialog ends.
class CEkgFileDialog : public CViewerFileDialog {
    Q_OBJECT
public:
    enum { OPT_INTERPRETATION, OPT_MEASUREMENTS, OPT_COMMENT, OPT_PACEMAKER };
    CEkgFileDialog(bool bOpen, const QString& defExt, const QString& fileName,
                   const QString& filter, QWidget* pParent = nullptr);
    std::array<BOOL, 4> m_options{1, 1, 1, 1};
    // Builds the boxes from m_options (done on showing; tests call it directly).
    void InitOptions();
    QCheckBox* OptionBox(int n) const { return m_boxes[size_t(n)]; }
    void done(int r) override;

private:
    void OnTypeChanged(int nIndex);
    std::array<QCheckBox*, 4> m_boxes{};
    bool m_bInit = false;

protected:
    void showEvent(QShowEvent* e) override;
};

// A key of the settings store (what the registry was): a root and a key path.
class CRegistryKey {
public:
    enum Root : UINT { ROOT_NONE = 0, HKEY_CURRENT_USER = 1 };
    BOOL OpenUserKey(const std::string& path) {
        return Open(HKEY_CURRENT_USER, "Software\\" + path);
    }
    BOOL Open(UINT nRoot, const std::string& path);
    // The value as a 32-bit number, or nDefault when key or value cannot be read.
    DWORD GetDWord(const std::string& subkey, const std::string& name, DWORD nDefault) const;
    UINT Root() const { return m_nRoot; }
    const std::string& Path() const { return m_strPath; }

private:
    UINT m_nRoot = ROOT_NONE;
    std::string m_strPath;
};

// Anchors of the split-resize layout: percentages of the parent's width and height.
struct CAnchor {
    int x, y;
};
namespace anchor {
inline constexpr CAnchor kNone{-1, -1}, kTopLeft{0, 0}, kTopCenter{50, 0}, kTopRight{100, 0},
    kMiddleLeft{0, 50}, kCenter{50, 50}, kMiddleRight{100, 50}, kBottomLeft{0, 100},
    kBottomCenter{50, 100}, kBottomRight{100, 100};
}  // namespace anchor
