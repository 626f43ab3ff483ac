#pragma once
// One GDT field: its number and its value, bytes of the installation code page.
#include "zeqgdt/gdtdefs.h"

class ZEQGDT_API CGDTField {
public:
    CGDTField(eFIELD_ID id, const CString& value);
    CGDTField(const CGDTField& other);
    CGDTField& operator=(const CGDTField& other);
    virtual ~CGDTField();

    eFIELD_ID GetID() const { return m_eID; }
    CString GetValue() const { return m_strValue; }
    // The field's line in a file: length digits, number, value, CR LF.
    int GetTotalLength() const;

private:
    eFIELD_ID m_eID;
    CString m_strValue;
};
