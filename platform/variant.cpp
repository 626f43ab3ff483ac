#include "platform/variant.h"

#include "internal.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace platform {

namespace {

bool IsNumeric(VARTYPE vt) { return vt == VT_I2 || vt == VT_I4 || vt == VT_R4 || vt == VT_R8 || vt == VT_BOOL; }

std::string TrimBlank(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The text as a number; FALSE when it is not one number as a whole.
bool ParseNumber(const std::string& text, double& value, bool& bIntegral) {
    std::string t = TrimBlank(text);
    // Plain decimal notation only: no hexadecimal, infinity or NaN spellings.
    if (t.empty() || t.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    long long n = std::strtoll(t.c_str(), &end, 10);
    if (*end == '\0' && errno == 0) {
        value = static_cast<double>(n);
        bIntegral = true;
        return true;
    }
    errno = 0;
    double d = std::strtod(t.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(d)) return false;
    value = d;
    bIntegral = false;
    return true;
}

}  // namespace

const char* VarTypeName(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY: return "empty";
        case VT_I2: return "short";
        case VT_I4: return "long";
        case VT_R4: return "float";
        case VT_R8: return "double";
        case VT_BSTR: return "text";
        case VT_BOOL: return "BOOL";
    }
    return "?";
}

bool Variant::ChangeType(VARTYPE vt, Variant& out) const {
    if (vt == m_vt) {
        out = *this;
        return true;
    }
    if (vt == VT_EMPTY) {
        out = Variant();
        return true;
    }
    if (m_vt == VT_EMPTY) {
        // An omitted value reads as zero or an empty text.
        switch (vt) {
            case VT_I2: out = Variant(short(0)); return true;
            case VT_I4: out = Variant(std::int32_t(0)); return true;
            case VT_R4: out = Variant(0.0f); return true;
            case VT_R8: out = Variant(0.0); return true;
            case VT_BOOL: out = FromBool(false); return true;
            case VT_BSTR: out = Variant(""); return true;
            default: return false;
        }
    }
    // Source as a number.
    double d = 0;
    bool bIntegral = true;
    if (m_vt == VT_BSTR) {
        if (vt == VT_BOOL) {
            if (internal::EqualNoCase(TrimBlank(m_str), "true")) { out = FromBool(true); return true; }
            if (internal::EqualNoCase(TrimBlank(m_str), "false")) { out = FromBool(false); return true; }
        }
        if (!ParseNumber(m_str, d, bIntegral)) return false;
    } else if (m_vt == VT_R4 || m_vt == VT_R8) {
        d = m_d;
        bIntegral = false;
    } else if (IsNumeric(m_vt)) {
        d = static_cast<double>(m_i);
    }
    switch (vt) {
        case VT_I2:
        case VT_I4: {
            double r = bIntegral ? d : std::nearbyint(d);
            double lo = vt == VT_I2 ? std::numeric_limits<short>::min() : std::numeric_limits<std::int32_t>::min();
            double hi = vt == VT_I2 ? std::numeric_limits<short>::max() : std::numeric_limits<std::int32_t>::max();
            if (!(r >= lo && r <= hi)) return false;
            out = vt == VT_I2 ? Variant(static_cast<short>(r)) : Variant(static_cast<std::int32_t>(r));
            return true;
        }
        case VT_R4:
            if (std::fabs(d) > std::numeric_limits<float>::max()) return false;
            out = Variant(static_cast<float>(d));
            return true;
        case VT_R8:
            out = Variant(d);
            return true;
        case VT_BOOL:
            out = FromBool(d != 0);
            return true;
        case VT_BSTR:
            out = Variant(Display());
            if (m_vt == VT_BOOL) out = Variant(m_i ? "1" : "0");
            return true;
        default:
            return false;
    }
}

short Variant::AsShort() const {
    Variant v;
    return ChangeType(VT_I2, v) ? static_cast<short>(v.m_i) : short(0);
}

std::int32_t Variant::AsLong() const {
    Variant v;
    return ChangeType(VT_I4, v) ? static_cast<std::int32_t>(v.m_i) : 0;
}

float Variant::AsFloat() const {
    Variant v;
    return ChangeType(VT_R4, v) ? static_cast<float>(v.m_d) : 0.0f;
}

double Variant::AsDouble() const {
    Variant v;
    return ChangeType(VT_R8, v) ? v.m_d : 0.0;
}

bool Variant::AsBool() const {
    Variant v;
    return ChangeType(VT_BOOL, v) && v.m_i != 0;
}

std::string Variant::AsText() const {
    Variant v;
    return ChangeType(VT_BSTR, v) ? v.m_str : std::string();
}

std::string Variant::Display() const {
    char buf[64];
    switch (m_vt) {
        case VT_EMPTY: return "(empty)";
        case VT_I2:
        case VT_I4: return std::to_string(m_i);
        // Seven significant digits, all a float holds; "%g" would cut 1234567 to 1.23457e+06.
        case VT_R4: std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(static_cast<float>(m_d))); return buf;
        case VT_R8: std::snprintf(buf, sizeof buf, "%.15g", m_d); return buf;
        case VT_BOOL: return m_i ? "TRUE" : "FALSE";
        case VT_BSTR: return m_str;
    }
    return {};
}

bool Variant::operator==(const Variant& o) const {
    if (m_vt != o.m_vt) return false;
    switch (m_vt) {
        case VT_EMPTY: return true;
        case VT_R4:
        case VT_R8: return m_d == o.m_d;
        case VT_BSTR: return m_str == o.m_str;
        default: return m_i == o.m_i;
    }
}

}  // namespace platform
