#pragma once
// The values that cross a control's dispatch interface: empty, short, long, float,
// double, BOOL and 8-bit text (in the installation code page).
#include <cstdint>
#include <string>

namespace platform {

enum VARTYPE : std::uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_BOOL = 11,
};

const char* VarTypeName(VARTYPE vt);

class Variant {
public:
    Variant() = default;
    Variant(short v) : m_vt(VT_I2), m_i(v) {}
    Variant(std::int32_t v) : m_vt(VT_I4), m_i(v) {}
    Variant(float v) : m_vt(VT_R4), m_d(v) {}
    Variant(double v) : m_vt(VT_R8), m_d(v) {}
    Variant(const char* v) : m_vt(VT_BSTR), m_str(v ? v : "") {}
    Variant(std::string v) : m_vt(VT_BSTR), m_str(std::move(v)) {}
    static Variant FromBool(bool b) {
        Variant v;
        v.m_vt = VT_BOOL;
        v.m_i = b ? 1 : 0;
        return v;
    }
    // A BOOL as a control's code gives it: any number, non-zero being true; it crosses the
    // interface unchanged and reads back as that number.
    static Variant FromBOOL(std::int32_t n) {
        Variant v;
        v.m_vt = VT_BOOL;
        v.m_i = n;
        return v;
    }

    VARTYPE Type() const { return m_vt; }
    bool IsEmpty() const { return m_vt == VT_EMPTY; }

    // Conversion to another type, as the dispatch machinery coerces arguments: numbers
    // convert among themselves when the value fits (floating values round to nearest),
    // text parses as a whole number or decimal, BOOL is 0 or 1 (any non-zero number, or
    // "true"/"false" text). FALSE when the value does not convert.
    bool ChangeType(VARTYPE vt, Variant& out) const;

    // Direct reads: 0, 0.0 or an empty text when the value does not convert.
    short AsShort() const;
    std::int32_t AsLong() const;
    float AsFloat() const;
    double AsDouble() const;
    bool AsBool() const;
    std::string AsText() const;

    // One-line text for tools and logs: the value, e.g. 12, 1.5, TRUE, "text", (empty).
    std::string Display() const;

    bool operator==(const Variant& o) const;

private:
    VARTYPE m_vt = VT_EMPTY;
    std::int64_t m_i = 0;
    double m_d = 0.0;
    std::string m_str;
};

}  // namespace platform
