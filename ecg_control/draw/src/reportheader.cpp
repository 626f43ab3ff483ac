#include "ecg_control/draw/reportheader.h"

#include <cstdarg>
#include <cstdio>

#include <QPainter>

#include "ecg_control/draw/drawtools.h"
#include "ecg_control/draw/tracelayout.h"
#include "ecg_control/reporttexts.h"
#include "platform/format.h"

namespace {

using platform::Format;

CString WithoutLineBreaks(CString strText) {
    for (auto nPos = strText.find("\r\n"); nPos != CString::npos; nPos = strText.find("\r\n")) {
        strText.erase(nPos, 2);
    }
    return strText;
}

}  // namespace

void CReportHeader::SetSettings(int nFormat, int nGain, int nRhythmLead, int nCell) {
    m_nFormat = nFormat;
    m_nGain = nGain;
    m_nRhythmLead = nRhythmLead;
    m_nCell = nCell;
}

void CReportHeader::CopySettingsFrom(const CReportHeader& other) {
    m_nFormat = other.m_nFormat;
    m_nGain = other.m_nGain;
    m_nRhythmLead = other.m_nRhythmLead;
    m_nCell = other.m_nCell;
    m_bStatements = other.m_bStatements;
    m_bMeasurements = other.m_bMeasurements;
    m_bComment = other.m_bComment;
    m_crTitle = other.m_crTitle;
    m_crText = other.m_crText;
    m_nFooterOffset = other.m_nFooterOffset;
}

CString CReportHeader::TitleText(int nFormat) {
    switch (nFormat) {
        case 0:
            return "12Channel Rhythm Report";
        case 1:
            return "6Channel + 1 Rhythm Report";
        case 2:
            return "3Channel + 1 Rhythm Report";
        case 3:
            return "Representative Beat Report";
        default:
            return "Unknown Rhythm Report";
    }
}

std::vector<CReportText> CReportHeader::BuildTexts(int x, int y) const {
    std::vector<CReportText> aTexts;
    if (m_pInfo == nullptr || m_pMorph == nullptr || m_nCell < 3) {
        return aTexts;
    }
    const CEkgRecordInfo& info = *m_pInfo;
    const CEkgPatientInfo& p = info.m_patient;
    const int c = m_nCell;
    const int nLeft = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    auto add = [&](CString strText, int l, int t, int r, int b, int u, int nFlags,
                   BOOL bTitle = FALSE) {
        const int nLeftPx = x + l * 5 * c + c;
        const int nRightPx = x + r * 5 * c - c;
        const int nTopPx = y + t * u * c;
        const int nBottomPx = y + b * u * c;
        aTexts.push_back(CReportText{std::move(strText),
                                     QRect(nLeftPx, nTopPx, nRightPx - nLeftPx, nBottomPx - nTopPx),
                                     nFlags, bTitle});
    };
    auto line = [&](CString strText, int l, int t, int r, int nFlags = 0) {
        add(std::move(strText), l, t, r, t + 1, 3, nFlags ? nFlags : nLeft);
    };

    add(TitleText(m_nFormat), 0, 0, 50, 1, 5,
        Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, TRUE);

    line(ekgreport::DateText(p), 0, 0, 20);
    line(Format("ID   : %s", p.m_strID.c_str()), 0, 2, 20);
    line(Format("Name : %s ", p.m_strName.c_str()), 0, 3, 20);
    line(Format("Surname : %s ", p.m_strSurname.c_str()), 0, 4, 20);
    line(ekgreport::AgeText(p), 0, 5, 20);
    line(ekgreport::HeightWeightText(p), 0, 6, 20);
    if (m_nFormat != kFormatBeat) {
        line(Format("Hospital : %s", p.m_strMisc1.c_str()), 40, 0, 60);
        line(Format("Confirmed by : %s", p.m_strMisc0.c_str()), 40, 1, 60);
    }

    if (m_bMeasurements) {
        const int a = m_nFormat == kFormatBeat ? 0 : 7;
        const int b = m_nFormat == kFormatBeat ? 7 : 2;
        const CString astr[5] = {
            Format("Heart Rate : %d bpm", info.GetGlobalValue(0)),
            Format("PR int. : %d ms", info.GetGlobalValue(1)),
            Format("QRS dur. : %d ms", info.GetGlobalValue(2)),
            Format("QT/QTc : %d/%d ms", info.GetGlobalValue(3), info.GetGlobalValue(4)),
            Format("P-R-T axes : %d-%d-%d", info.GetGlobalValue(5), info.GetGlobalValue(6),
                   info.GetGlobalValue(7)),
        };
        for (int k = 0; k < 5; ++k) {
            line(astr[k], a, b + k, a + 20);
        }
    }

    int n = -1;
    if (m_bStatements && m_nFormat != kFormatBeat) {
        line("*** Analysis Result *** (Unconfirmed Report)", 18, 2, 50);
        n = 0;
        for (const CString& strStatement : info.GetStatements()) {
            if (strStatement.empty()) {
                break;
            }
            line(WithoutLineBreaks(strStatement), 18, n + 3, 50);
            ++n;
        }
    }

    if (m_bComment && m_nFormat != kFormatBeat) {
        line("*** Doctor's Comment ***", 18, n + 3, 50);
        const int nLeftPx = x + 18 * 5 * c + c;
        const int nRightPx = x + 50 * 5 * c - c;
        const int nTopPx = y + 3 * c * (n + 4);
        const int nBottomPx = y + 3 * c * (m_nFooterOffset + 37);
        aTexts.push_back(CReportText{p.m_strComment,
                                     QRect(nLeftPx, nTopPx, nRightPx - nLeftPx, nBottomPx - nTopPx),
                                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, FALSE});
    }

    if (m_nFormat == kFormatBeat) {
        static const char* const s_aszHeads[CMorphologyTable::kKinds] = {
            "PR", "PA",   "PD",   "QA",   "QD", "RA",  "RD", "SA",
            "SD", "QLRD", "QRSD", "QRSA", "TA", "STA", "QTc"};
        const int nRight = Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine;
        for (int k = 0; k < CMorphologyTable::kKinds; ++k) {
            line(s_aszHeads[k], 20 + 2 * k, 4, 22 + 2 * k, nRight);
        }
        for (int i = 0; i < kLeadCount; ++i) {
            line(LeadName(i), 18, 5 + i, 20, nRight);
            for (int k = 0; k < CMorphologyTable::kKinds; ++k) {
                line(Format("%6d", m_pMorph->Value(i, 3 + k)), 20 + 2 * k, 5 + i, 22 + 2 * k,
                     nRight);
            }
        }
    }

    const int r = m_nFooterOffset + 37;
    const CString strDevice = m_pDevice ? m_pDevice->m_strDevice : CEkgDeviceInfo().m_strDevice;
    const CString strCompany = m_pDevice ? m_pDevice->m_strCompany : CEkgDeviceInfo().m_strCompany;
    add(ekgreport::FilterText(info.GetFilterItem()), 0, r, 20, r + 1, 5, nLeft);
    add(ekgreport::ScaleCaption(m_nGain), 17, r, 37, r + 1, 5, nLeft);
    add(strDevice, 34, r, 54, r + 1, 5, nLeft);
    add(strCompany, 30, r, 50, r + 1, 5, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine);
    return aTexts;
}

void CReportHeader::Draw(QPainter& painter, int x, int y) const {
    const std::vector<CReportText> aTexts = BuildTexts(x, y);
    if (aTexts.empty()) {
        return;
    }
    const QFont titleFont = MakeLogFont(4 * m_nCell, 700);
    const QFont textFont = MakeLogFont(3 * m_nCell, 400);
    painter.save();
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const CReportText& text : aTexts) {
        if (text.strText.empty()) {
            continue;
        }
        painter.setFont(text.bTitle ? titleFont : textFont);
        painter.setPen(ColorFromRef(text.bTitle ? m_crTitle : m_crText));
        painter.drawText(text.rcBox, text.nFlags, ToQString(text.strText));
    }
    painter.restore();
}
