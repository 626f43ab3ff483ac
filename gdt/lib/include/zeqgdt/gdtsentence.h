#pragma once
// One GDT record: its fields in file order, read from and written to one file.
#include <vector>

#include "zeqgdt/gdtdefs.h"
#include "zeqgdt/gdtfield.h"

class ZEQGDT_API CGDTSentence {
public:
    CGDTSentence();
    virtual ~CGDTSentence();
    CGDTSentence(const CGDTSentence&) = delete;
    CGDTSentence& operator=(const CGDTSentence&) = delete;

    // TRUE only for a valid file: an 8100 field equal to the file's size, and line lengths
    // adding up to it. The fields read stay in the record either way.
    int Load(const CString& strPath);
    // Written whole through a temporary file and a rename, with one 8100 field after the
    // first 8000 field; FALSE and no file without an 8000 field, for a record of more
    // than 99,999 bytes, a field that does not fit a line, or any failed write.
    int Save(const CString& strPath);
    void Clear();

    int GetCount() const { return static_cast<int>(m_fields.size()); }
    int Remove(int nIndex);
    eFIELD_ID GetID(int nIndex) const;
    CString GetValue(int nIndex) const;
    int GetValueToInt(int nIndex) const;
    double GetValueToDouble(int nIndex) const;
    int FindFields(eFIELD_ID id, std::vector<int>& indexes) const;
    int RemoveFields(eFIELD_ID id);
    CString GetFieldValue(eFIELD_ID id) const;
    int GetFieldValueToInt(eFIELD_ID id) const;
    double GetFieldValueToDouble(eFIELD_ID id) const;
    int GetFieldValueToEnum(eFIELD_ID id) const;
    int GetFieldValues(eFIELD_ID id, CStringArray& values) const;

    void AddSentenceInfo(eSENTENCE_ID type, const CString& receiver, const CString& sender,
                         eVERSION version, eCHAR_TYPE charType);
    void AddPatientInfo(const CGDTSentence& order);
    void AddPatientInfo(const CString& id, const CString& lastName, const CString& firstName,
                        int year, int month, int day, eGENDER gender, double height, double weight);
    void AddSoftwareInfo(const CString& maker, const CString& name, const CString& version);
    void AddTestInfo(eDEVICE device, int year, int month, int day, int hour, int minute, int second);
    void AddTest(const CString& testId, double value, double standard, double low, double high,
                 const CString& unit);
    void AddFiles(const CString& attribute, const CString& format, const CString& description,
                  const CString& fileName);
    void AddComment(const CString& text);
    void AddResultsText(const CString& text);

private:
    void Add(eFIELD_ID id, const CString& value);
    void AddText(eFIELD_ID id, const CString& value);  // skips the no-text marker
    void AddReal(eFIELD_ID id, double value);          // skips the no-real marker
    int FindFirst(eFIELD_ID id) const;

    std::vector<CGDTField*> m_fields;
};
