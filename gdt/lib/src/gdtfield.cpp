#include "zeqgdt/gdtfield.h"

#include <cstdio>

CGDTField::CGDTField(eFIELD_ID id, const CString& value) : m_eID(id), m_strValue(value) {}
CGDTField::CGDTField(const CGDTField& other) = default;
CGDTField& CGDTField::operator=(const CGDTField& other) = default;
CGDTField::~CGDTField() = default;

int CGDTField::GetTotalLength() const {
    char id[16];
    const int nIdLen = std::snprintf(id, sizeof id, "%04d", static_cast<int>(m_eID));
    return 3 + nIdLen + static_cast<int>(m_strValue.size()) + 2;
}
