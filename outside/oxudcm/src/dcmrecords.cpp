#include "oxudcm/dcmrecords.h"

#include <cstdio>

namespace {
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
bool ValidDate(int y, int m, int d) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) {
        return false;
    }
    return d <= kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
}
bool ValidTime(int h, int mi, int s) {
    return h >= 0 && h < 24 && mi >= 0 && mi < 60 && s >= 0 && s < 60;
}
}  // namespace

CDcmDateTime CDcmDateTime::Invalid() {
    CDcmDateTime dt;
    dt.m_eStatus = kInvalid;
    return dt;
}

CDcmDateTime CDcmDateTime::Date(int y, int m, int d) {
    if (!ValidDate(y, m, d)) {
        return Invalid();
    }
    CDcmDateTime dt;
    dt.m_nYear = y;
    dt.m_nMonth = m;
    dt.m_nDay = d;
    dt.m_eStatus = kValid;
    dt.m_bDate = true;
    return dt;
}

CDcmDateTime CDcmDateTime::Time(int h, int mi, int s) {
    if (!ValidTime(h, mi, s)) {
        return Invalid();
    }
    CDcmDateTime dt;
    dt.m_nHour = h;
    dt.m_nMinute = mi;
    dt.m_nSecond = s;
    dt.m_eStatus = kValid;
    dt.m_bTime = true;
    return dt;
}

CDcmDateTime CDcmDateTime::DateTime(int y, int m, int d, int h, int mi, int s) {
    if (!ValidDate(y, m, d) || !ValidTime(h, mi, s)) {
        return Invalid();
    }
    CDcmDateTime dt = Date(y, m, d);
    dt.m_nHour = h;
    dt.m_nMinute = mi;
    dt.m_nSecond = s;
    dt.m_bTime = true;
    return dt;
}

std::string CDcmDateTime::DicomDate() const {
    if (!HasDate()) {
        return {};
    }
    char sz[16];
    std::snprintf(sz, sizeof sz, "%04d%02d%02d", m_nYear, m_nMonth, m_nDay);
    return sz;
}

std::string CDcmDateTime::DicomTime() const {
    if (!HasTime()) {
        return {};
    }
    char sz[16];
    std::snprintf(sz, sizeof sz, "%02d%02d%02d", m_nHour, m_nMinute, m_nSecond);
    return sz;
}

std::string CDcmDateTime::DicomDateTime() const {
    if (!HasDate()) {
        return {};
    }
    return DicomDate() + DicomTime();
}
