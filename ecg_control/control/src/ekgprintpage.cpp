#include "ecg_control/control/ekgprintpage.h"

#include <QFont>
#include <QFontMetrics>

#include "ecg_control/draw/reportheader.h"
#include "ecg_control/draw/tracepainter.h"
#include "ecg_control/reporttexts.h"
#include "platform/format.h"

namespace {

// A pen in 0.1 mm units: always geometric, so that widths are paper widths.
QPen PaperPen(const CPenSpec& penSpec) {
    std::optional<QPen> pen = MakeGeometricPen(penSpec);
    QPen result = pen ? *pen : QPen(Qt::black);
    result.setCosmetic(false);
    result.setWidthF(std::max(1, penSpec.nWidth));
    return result;
}

int PulseHeight(int nGainCode) {
    switch (nGainCode) {
        case 1:
            return 25;
        case 2:
            return 50;
        case 4:
            return 200;
        default:
            return 100;
    }
}

QString Q(const CString& s) {
    return ToQString(s);
}

CString WithoutLineBreaks(CString s) {
    for (std::size_t pos; (pos = s.find("\r\n")) != CString::npos;)
        s.erase(pos, 2);
    return s;
}

}  // namespace

CEkgPrintPage::CEkgPrintPage() = default;

void CEkgPrintPage::Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph,
                           CEkgDeviceInfo* pDevice) {
    m_pWave = pWave;
    m_pInfo = pInfo;
    m_pMorph = pMorph;
    m_pDevice = pDevice;
    m_layout.Attach(pWave, pInfo, pMorph);
}

BOOL CEkgPrintPage::SetGraphPen(int nStyle, int nWidth, COLORREF cr) {
    m_graphPen = {nStyle, nWidth, cr};
    m_bGraphPenSet = TRUE;
    return TRUE;
}
BOOL CEkgPrintPage::SetGridPen(int nStyle, int nWidth, COLORREF cr) {
    m_gridPen = {nStyle, nWidth, cr};
    return TRUE;
}
BOOL CEkgPrintPage::SetGridInnerPen(int nStyle, int nWidth, COLORREF cr) {
    m_innerPen = {nStyle, nWidth, cr};
    return TRUE;
}

BOOL CEkgPrintPage::Prepare(int nFormat, int nGain, int nRhythmLead) {
    if (!m_pWave || !m_pWave->HasBlock() || m_pWave->GetSamplesPerChannel() == 0)
        return FALSE;
    m_nFormat = nFormat;
    m_nGain = nGain;
    m_nRhythmLead = nRhythmLead;
    m_layout.Invalidate();
    m_layout.SetSettings(nFormat, nGain, 2, nRhythmLead, kCell);
    return m_layout.Compute(0, 0);
}

std::vector<CEkgPrintPage::CPulse> CEkgPrintPage::Pulses() const {
    const int nFirst = PulseHeight(m_nGain == 0 ? 3 : m_nGain);
    const int nSecond = PulseHeight(m_nGain == 0 ? 2 : m_nGain);
    if (m_nFormat == kFormat12x1) {
        return {{-100, 450, nFirst}, {-100, 1150, nSecond}};
    }
    const int y = m_nFormat == kFormatBeat ? 900 : 550;
    return {{50, y, nFirst}, {1300, y, nSecond}};
}

void CEkgPrintPage::Draw(QPainter& painter, double dPxPerMmX, double dPxPerMmY,
                         int nPrintableWidth) {
    const int nLeft = static_cast<int>(21 * dPxPerMmX);
    const int nTop = static_cast<int>(9 * dPxPerMmY);
    const int nRight = nPrintableWidth - static_cast<int>(20 * dPxPerMmX);
    const int nBottom = nTop + static_cast<int>(185 * dPxPerMmY);
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.translate(nLeft, nTop);
    painter.save();
    painter.scale(dPxPerMmX / kCell, dPxPerMmY / kCell);
    DrawGrid(painter);
    DrawTraces(painter);
    painter.restore();
    DrawTexts(painter, nRight - nLeft, nTop, nBottom);
    painter.restore();
}

void CEkgPrintPage::DrawGrid(QPainter& painter) const {
    const QPen grid = PaperPen(m_gridPen), inner = PaperPen(m_innerPen);
    const int nWidth = kGridColumns * kLarge, nHeight = kGridRows * kLarge;
    for (int i = 0; i <= kGridColumns; ++i) {
        const int x = i * kLarge;
        painter.setPen(grid);
        painter.drawLine(x, i % 5 == 0 ? -30 : 0, x, nHeight);
        if (i < kGridColumns) {
            painter.setPen(inner);
            for (int k = 1; k < 5; ++k)
                painter.drawLine(x + 10 * k, 0, x + 10 * k, nHeight);
        }
    }
    for (int j = 0; j <= kGridRows; ++j) {
        const int y = j * kLarge;
        painter.setPen(grid);
        painter.drawLine(j % 5 == 0 ? -30 : 0, y, nWidth, y);
        if (j < kGridRows) {
            painter.setPen(inner);
            for (int k = 1; k < 5; ++k)
                painter.drawLine(0, y + 10 * k, nWidth, y + 10 * k);
        }
    }
}

void CEkgPrintPage::DrawTraces(QPainter& painter) {
    const CTraceLayout& layout = m_layout;
    const QPen tracePen = m_bGraphPenSet ? PaperPen(m_graphPen) : QPen(Qt::black, 0);
    const QColor traceColor = ColorFromRef(m_bGraphPenSet ? m_graphPen.crColor : 0);
    QFont labelFont("Arial");
    labelFont.setPixelSize(30);  // 3 mm
    painter.setFont(labelFont);
    const int nLeads = std::min(layout.GetChannels(), kLeadCount);
    const int nColumns = std::max(1, layout.GetColumns());
    for (int i = 0; i < nLeads; ++i) {
        const CTracePoint pos = layout.GetCellPosition(i);
        const CTracePoint* pPoints = layout.LeadPoints(i);
        const int nCount =
            std::min(layout.GetSegment(), layout.GetSamples() - layout.ColumnStart(i));
        painter.setPen(tracePen);
        if (pPoints && nCount > 0) {
            DrawLayoutRow(painter, layout, i, nCount);
        }
        painter.drawText(QPoint(pos.x + 16, pos.y + 16 + 30), QString::fromLatin1(LeadName(i)));
        if (nColumns > 1 && i >= kLeadCount / nColumns) {
            painter.fillRect(QRect(pos.x - 2, pos.y - 102, 4, 204), Qt::black);
        }
    }
    if (m_nFormat == kFormatBeat) {
        painter.setPen(tracePen);
        const CTracePoint* pFid = layout.GetFiducials();
        for (int k = 0; k < layout.GetFiducialCount(); ++k) {
            painter.drawLine(pFid[k].x, pFid[k].y - 20, pFid[k].x, pFid[k].y + 20);
        }
    }
    const BOOL bStrip =
        m_nFormat != kFormat12x1 && m_nFormat != kFormatBeat && layout.HasRhythmStrip();
    if (bStrip) {
        const CTracePoint strip = layout.GetRhythmPosition();
        const CTracePoint* pPoints = layout.LeadPoints(layout.GetChannels());
        painter.setPen(tracePen);
        if (pPoints)
            DrawLayoutRow(painter, layout, layout.GetChannels(), layout.GetSamples());
        painter.drawText(QPoint(strip.x + 16, strip.y + 16 + 30),
                         QString::fromLatin1(LeadName(m_nRhythmLead)));
    }
    if (m_bPacemaker) {
        std::vector<int> rows;
        for (int r = 0; r < layout.GetRows() && r < nLeads; ++r)
            rows.push_back(layout.GetCellPosition(r).y);
        if (bStrip)
            rows.push_back(layout.GetRhythmPosition().y);
        for (DWORD dwMark : layout.GetPixelMarks()) {
            const int x = static_cast<int>(dwMark) - 1;
            for (int y : rows)
                painter.fillRect(QRect(x, y - 50, 3, 40), traceColor);
        }
    }
    QPen pulsePen(Qt::black, 3);
    pulsePen.setCapStyle(Qt::FlatCap);
    painter.setPen(pulsePen);
    for (const CPulse& p : Pulses()) {
        const int x = p.x, y = p.y, h = p.nHeight;
        painter.drawLine(x, y, x + 50, y);
        painter.drawLine(x, y, x, y + h);
        painter.drawLine(x + 50, y, x + 50, y + h);
        painter.drawLine(x - 20, y + h, x, y + h);
        painter.drawLine(x + 50, y + h, x + 70, y + h);
    }
}

void CEkgPrintPage::DrawTexts(QPainter& painter, int W, int nTop, int nBottom) {
    if (!m_pInfo)
        return;
    QFont regular("Arial"), bold("Arial");
    regular.setPointSizeF(9);
    bold.setPointSizeF(10);
    bold.setBold(true);
    const QFontMetrics metrics(regular, painter.device());
    const int lh = metrics.height();
    const int nLeftFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
    painter.setPen(Qt::black);
    painter.setFont(regular);
    auto box = [&](int x0, int y0, int cw, int rh, int col, int row, const CString& text,
                   int flags = 0) {
        painter.drawText(QRect(x0 + col * cw, y0 + row * rh, cw, rh), flags ? flags : nLeftFlags,
                         Q(text));
    };
    const CEkgRecordInfo& info = *m_pInfo;
    const CEkgPatientInfo& p = info.m_patient;

    painter.setFont(bold);
    static const char* const s_aszTitles[] = {
        "  12Channel Rhythm Report", "6Channel + 1 Rhythm Report", "3Channel + 1 Rhythm Report",
        "Representative Beat Report"};
    box(0, nTop - 5 * lh, W, lh, 0, 0,
        (m_nFormat >= 0 && m_nFormat <= 3) ? s_aszTitles[m_nFormat] : "",
        Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip);
    painter.setFont(regular);

    const int py = nTop - 5 * lh, pw = W / 5;
    const CString strTime = info.GetTime();
    CString strDate;
    if (strTime.size() >= 12) {
        strDate = platform::Format("%s-%s-%s  %s:%s", strTime.substr(0, 4).c_str(),
                                   strTime.substr(4, 2).c_str(), strTime.substr(6, 2).c_str(),
                                   strTime.substr(8, 2).c_str(), strTime.substr(10, 2).c_str());
    }
    box(0, py, pw, lh, 0, 0, strDate);
    box(0, py, pw, lh, 0, 1, platform::Format("ID   : %s", p.m_strID.c_str()));
    box(0, py, pw, lh, 0, 2, platform::Format("Name : %s ", p.m_strName.c_str()));
    box(0, py, pw, lh, 0, 3, platform::Format("Surname : %s ", p.m_strSurname.c_str()));
    const int nAge = std::atoi(p.m_strAge.c_str());
    const char* pszAge = p.m_strAgeUnit == "2"   ? "Age : %3ddays Sex : %s"
                         : p.m_strAgeUnit == "1" ? "Age : %3dweeks Sex : %s"
                                                 : "Age : %3dyrs. Sex : %s";
    box(0, py, pw, lh, 0, 4, platform::Format(pszAge, nAge, p.m_strSex.c_str()));
    box(0, py, pw, lh, 0, 5, ekgreport::HeightWeightText(p));
    if (m_nFormat != kFormatBeat) {
        box(0, py, pw, lh, 4, 0, platform::Format("Hospital : %s", p.m_strMisc1.c_str()));
        box(0, py, pw, lh, 4, 1, platform::Format("Confirmed by : %s", p.m_strMisc0.c_str()));
    }

    const int my = nTop - 4 * lh;
    if (m_bMeasurements) {
        const CString lines[5] = {
            platform::Format("   Heart Rate : %d bpm", info.GetGlobalValue(0)),
            platform::Format("   PR int. : %d ms", info.GetGlobalValue(1)),
            platform::Format("   QRS dur. : %d ms", info.GetGlobalValue(2)),
            platform::Format("   QT/QTc : %d/%d ms", info.GetGlobalValue(3),
                             info.GetGlobalValue(4)),
            platform::Format("   P-R-T axes : %d-%d-%d", info.GetGlobalValue(5),
                             info.GetGlobalValue(6), info.GetGlobalValue(7)),
        };
        for (int k = 0; k < 5; ++k) {
            if (m_nFormat == kFormatBeat) {
                box(0, my, W / 6, lh, 0, 6 + k, lines[k]);
            } else {
                box(0, my, W / 6, lh, 1, k, lines[k]);
            }
        }
    }
    int n = -1;
    if (m_bStatements && m_nFormat != kFormatBeat) {
        box(W / 3, my, 2 * W / 3, lh, 0, 0, "*** Analysis Result *** (Unconfirmed Report)");
        n = 0;
        for (const CString& s : info.GetStatements()) {
            if (s.empty())
                break;
            box(W / 3, my, 2 * W / 3, lh, 0, n + 1, WithoutLineBreaks(s));
            ++n;
        }
    }
    if (m_bComment && m_nFormat != kFormatBeat) {
        box(W / 3, my, 2 * W / 3, lh, 0, n + 1, "*** Doctor's Comment ***");
        painter.drawText(QRect(W / 3, my + lh * (n + 2), W - W / 3, lh * 30),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, Q(p.m_strComment));
    }
    if (m_nFormat == kFormatBeat && m_pMorph) {
        static const char* const s_aszHeads[CMorphologyTable::kKinds] = {
            "PR", "PA",   "PD",   "QA",   "QD", "RA",  "RD", "SA",
            "SD", "QLRD", "QRSD", "QRSA", "TA", "STA", "QTc"};
        const int cw = W / 25, rh = static_cast<int>(1.2 * lh);
        const int nRight =
            Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
        for (int k = 0; k < CMorphologyTable::kKinds; ++k)
            box(W / 3, my, cw, rh, k + 1, 1, s_aszHeads[k], nRight);
        for (int i = 0; i < kLeadCount; ++i) {
            box(W / 3, my, cw, rh, 0, i + 2, LeadName(i), nRight);
            for (int k = 0; k < CMorphologyTable::kKinds; ++k) {
                box(W / 3, my, cw, rh, k + 1, i + 2,
                    platform::Format("%6d", m_pMorph->Value(i, 3 + k)), nRight);
            }
        }
    }
    const int fy = nBottom - nTop;
    const CEkgDeviceInfo device = m_pDevice ? *m_pDevice : CEkgDeviceInfo();
    box(0, fy, W / 3, lh, 0, 0, ekgreport::FilterText(info.GetFilterItem()));
    box(0, fy, W / 3, lh, 1, 0, ekgreport::ScaleCaption(m_nGain));
    box(0, fy, W / 3, lh, 2, 0, device.m_strDevice);
    box(W / 5 + 2 * W / 3, fy, W / 3, lh, 0, 0, device.m_strCompany);
}
