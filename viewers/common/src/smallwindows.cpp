#include "viewers/common/smallwindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cstdlib>

#include "oxuctrl/oxuctrl.h"
#include "platform/settings.h"
#include "viewers/common/strings.h"

namespace vbmp {

QImage Load(UINT nId) {
    switch (nId) {
        case IDB_SPLASH: {
            QImage img(400, 260, QImage::Format_RGB32);
            img.fill(QColor(0x20, 0x40, 0x80));
            QPainter p(&img);
            p.setPen(QPen(QColor(0xF0, 0x60, 0x60), 3));
            // One beat of a trace across the middle.
            const QPoint pts[] = {{20, 150},  {150, 150}, {170, 130}, {190, 150}, {210, 150},
                                  {220, 160}, {235, 60},  {250, 175}, {262, 150}, {300, 150},
                                  {320, 135}, {345, 150}, {380, 150}};
            p.drawPolyline(pts, int(std::size(pts)));
            p.setPen(Qt::white);
            p.setFont(QFont("Arial", 20, QFont::Bold));
            p.drawText(QRect(0, 190, 400, 40), Qt::AlignCenter, "Lindar");
            return img;
        }
        case IDB_OK:
        case IDB_CANCEL: {
            QImage img(16, 16, QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(nId == IDB_OK ? QColor(0, 128, 0) : QColor(192, 0, 0), 2));
            if (nId == IDB_OK) {
                p.drawLine(3, 8, 7, 12);
                p.drawLine(7, 12, 13, 3);
            } else {
                p.drawLine(3, 3, 13, 13);
                p.drawLine(13, 3, 3, 13);
            }
            return img;
        }
        default:
            return QImage();
    }
}

}  // namespace vbmp

// CSplashDialog

CSplashDialog::CSplashDialog(QWidget* pParent, int nTimerMs)
    : QDialog(pParent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_bitmap(vbmp::Load(vbmp::IDB_SPLASH)) {
    setObjectName("150");
    setFixedSize(m_bitmap.width(), m_bitmap.height() + 26);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CSplashDialog::Finish);
    m_timer.start(nTimerMs);
}

void CSplashDialog::Finish() {
    m_timer.stop();
    // Closed from the event loop, as a posted close message would be.
    QMetaObject::invokeMethod(this, "reject", Qt::QueuedConnection);
}

void CSplashDialog::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)
        Finish();
}

void CSplashDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.drawImage(0, 0, m_bitmap);
}

// CAboutDialog

CAboutDialog::CAboutDialog(QWidget* pParent) : QDialog(pParent) {
    setObjectName("100");
    setWindowTitle("Sobre Lindar");
    auto* lay = new QVBoxLayout(this);
    auto* name = new QLabel("Qar Daro-Lindar", this);
    name->setObjectName("1092");
    auto* ver = new QLabel("Ver 1.16(20160621)", this);
    ver->setObjectName("1093");
    m_pOk = new CButtonST(this);
    m_pOk->setObjectName("1");
    m_pOk->setText("OK");
    const COLORREF face = oxuctrl::ToColorRef(palette().color(QPalette::Button));
    m_pOk->SetColor(CButtonST::BTNST_COLOR_BK_IN, face, false);
    m_pOk->SetColor(CButtonST::BTNST_COLOR_FG_IN, 0, false);
    m_pOk->SetColor(CButtonST::BTNST_COLOR_BK_OUT, face, false);
    m_pOk->SetColor(CButtonST::BTNST_COLOR_BK_FOCUS, face, false);
    m_pOk->SetBitmaps(vbmp::Load(vbmp::IDB_OK));
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    lay->addWidget(name);
    lay->addWidget(ver);
    lay->addWidget(m_pOk);
}

// CEkgFileDialog

CViewerFileDialog::CViewerFileDialog(bool bOpen, const QString& defExt, const QString& fileName,
                                     const QString& filter, QWidget* pParent)
    : QFileDialog(pParent) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setDefaultSuffix(defExt);
    m_bFollowType = !defExt.isEmpty();
    setNameFilters(filter.split(";;", Qt::SkipEmptyParts));
    if (!fileName.isEmpty())
        selectFile(fileName);
}

QString CViewerFileDialog::FilterSuffix(const QString& filter) {
    static const QRegularExpression kPattern(R"(\*\.(\w+))");
    const QRegularExpressionMatch m = kPattern.match(filter);
    return m.hasMatch() ? m.captured(1) : QString();
}

void CViewerFileDialog::accept() {
    if (m_bFollowType) {
        const QString strSuffix = FilterSuffix(selectedNameFilter());
        if (!strSuffix.isEmpty())
            setDefaultSuffix(strSuffix);
    }
    QFileDialog::accept();
}

CEkgFileDialog::CEkgFileDialog(bool bOpen, const QString& defExt, const QString& fileName,
                               const QString& filter, QWidget* pParent)
    : CViewerFileDialog(bOpen, defExt, fileName, filter, pParent) {}

void CEkgFileDialog::InitOptions() {
    if (m_bInit)
        return;
    m_bInit = true;
    static const UINT kTexts[4] = {vstr::IDS_OPT_INTERPRETATION, vstr::IDS_OPT_MEASUREMENTS,
                                   vstr::IDS_OPT_COMMENT, vstr::IDS_OPT_PACEMAKER};
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QCheckBox(vstr::QStr(kTexts[i]), row);
        b->setObjectName(QString("1001_%1").arg(i));
        b->setChecked(m_options[size_t(i)] != 0);
        b->setFont(font());
        h->addWidget(b);
        m_boxes[size_t(i)] = b;
    }
    // Below the file-type list of Qt's dialog.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(row, grid->rowCount(), 0, 1, grid->columnCount());
    else if (layout())
        layout()->addWidget(row);
    if (auto* types = findChild<QComboBox*>("fileTypeCombo")) {
        connect(types, &QComboBox::currentIndexChanged, this, &CEkgFileDialog::OnTypeChanged);
        OnTypeChanged(types->currentIndex());
    }
}

void CEkgFileDialog::OnTypeChanged(int nIndex) {
    const bool bReport = nIndex == 0 || nIndex == 1;  // JPEG, PDF
    for (QCheckBox* b : m_boxes)
        if (b)
            b->setEnabled(bReport);
}

void CEkgFileDialog::showEvent(QShowEvent* e) {
    InitOptions();
    QFileDialog::showEvent(e);
}

void CEkgFileDialog::done(int r) {
    for (int i = 0; i < 4; ++i)
        if (m_boxes[size_t(i)])
            m_options[size_t(i)] = m_boxes[size_t(i)]->isChecked() ? 1 : 0;
    QFileDialog::done(r);
}

// CRegistryKey

namespace {
// "Software\" is the user's software root of the settings store.
std::string StorePath(const std::string& path) {
    std::string p = path;
    for (const char* root : {"Software\\", "Software/"})
        if (p.rfind(root, 0) == 0)
            return p.substr(std::char_traits<char>::length(root));
    return p;
}
}  // namespace

BOOL CRegistryKey::Open(UINT nRoot, const std::string& path) {
    const std::string key = StorePath(path);
    if (nRoot != HKEY_CURRENT_USER || key.empty()) {
        m_nRoot = ROOT_NONE;
        m_strPath.clear();
        return FALSE;
    }
    m_nRoot = nRoot;
    m_strPath = path;
    return TRUE;
}

DWORD CRegistryKey::GetDWord(const std::string& subkey, const std::string& name,
                             DWORD nDefault) const {
    if (m_nRoot == ROOT_NONE)
        return nDefault;
    platform::CSettingsStore store(StorePath(m_strPath));
    const std::string text = store.GetString(subkey.c_str(), name.c_str(), "\x01");
    if (text == "\x01")
        return nDefault;
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    return (end && end != text.c_str()) ? DWORD(v) : nDefault;
}
