#include "zeqgdt/gdtsentence.h"

#include <cstdio>
#include <cstdlib>

#include "gdtfs.h"
#include "gdtthreaded.h"
#include "platform/codepage.h"
#include "zeqgdt/gdtutils.h"

namespace {

constexpr int kMaxLine = 999;
constexpr int kMaxValue = kMaxLine - 9;
constexpr int kMaxRecord = 99999;  // "%05d" in field 8100

bool IsNoText(const CString& s) { return s == GDT_NO_TEXT; }

// Cuts a long text into pieces of at most n bytes, each ending on a whole character of
// the installation code page.
CStringArray SplitOnCharacters(const CString& text, std::size_t n) {
    CStringArray out;
    for (std::size_t at = 0; at < text.size();) {
        std::string piece = platform::CutToRoom(std::string_view(text).substr(at), n);
        if (piece.empty()) piece = text.substr(at, 1);  // no whole character fits
        at += piece.size();
        out.push_back(std::move(piece));
    }
    return out;
}

}  // namespace

CGDTSentence::CGDTSentence() = default;
CGDTSentence::~CGDTSentence() { Clear(); }

void CGDTSentence::Clear() {
    for (CGDTField* f : m_fields) delete f;
    m_fields.clear();
}

int CGDTSentence::Load(const CString& strPath) {
    Clear();
    CGDTFile file;
    if (!CGDTUtils::FileOpen(file, strPath, CGDTFile::modeRead)) return FALSE;
    const std::int64_t nFileSize = gdtthreaded::FileSize(strPath);
    std::int64_t nSum = 0;
    for (;;) {
        int nLength = 0;
        if (!CGDTUtils::FileRead(file, 3, nLength) || nLength < 9) break;
        int nID = 0;
        if (!CGDTUtils::FileRead(file, 4, nID)) break;
        CString value;
        if (nLength > 9 && !CGDTUtils::FileRead(file, nLength - 9, value)) break;
        CString end;
        if (!CGDTUtils::FileRead(file, 2, end) || end != "\r\n") break;
        Add(static_cast<eFIELD_ID>(nID), value);
        nSum += nLength;
    }
    CGDTUtils::FileClose(file);
    const int nFirst = FindFirst(FIELD_SENTENCE_LENGTH);
    return nFirst >= 0 && GetValueToInt(nFirst) == nFileSize && nSum == nFileSize ? TRUE : FALSE;
}

int CGDTSentence::Save(const CString& strPath) {
    const int nFirst8000 = FindFirst(FIELD_SENTENCE_ID);
    if (nFirst8000 < 0) return FALSE;
    // Long comments and result texts go over several lines; any other field that does not
    // fit its line makes the file invalid, so it is refused.
    std::vector<CGDTField> lines;
    for (const CGDTField* f : m_fields) {
        if (f->GetID() == FIELD_SENTENCE_LENGTH) continue;
        if (f->GetID() < 0 || f->GetID() > 9999) return FALSE;
        const CString value = f->GetValue();
        if (static_cast<int>(value.size()) <= kMaxValue) {
            lines.push_back(*f);
        } else if (f->GetID() == FIELD_COMMENT || f->GetID() == FIELD_RESULT_TEXT) {
            for (const CString& piece : SplitOnCharacters(value, kMaxValue)) lines.emplace_back(f->GetID(), piece);
        } else {
            return FALSE;
        }
    }
    int nTotal = 14;
    for (const CGDTField& f : lines) nTotal += f.GetTotalLength();
    if (nTotal > kMaxRecord) return FALSE;
    // The record length directly after the first record-type line.
    std::size_t nAfter = 0;
    while (nAfter < lines.size() && lines[nAfter].GetID() != FIELD_SENTENCE_ID) ++nAfter;
    char total[16];
    std::snprintf(total, sizeof total, "%05d", nTotal);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(nAfter + 1), CGDTField(FIELD_SENTENCE_LENGTH, total));

    CString data;
    data.reserve(static_cast<std::size_t>(nTotal));
    for (const CGDTField& f : lines) {
        char head[16];
        std::snprintf(head, sizeof head, "%03d%04d", f.GetTotalLength(), static_cast<int>(f.GetID()));
        data += head;
        data += f.GetValue();
        data += "\r\n";
    }
    // The record replaces its fields' 8100 too, so that the record matches its file.
    RemoveFields(FIELD_SENTENCE_LENGTH);
    const int nInsert = FindFirst(FIELD_SENTENCE_ID) + 1;
    m_fields.insert(m_fields.begin() + nInsert, new CGDTField(FIELD_SENTENCE_LENGTH, total));
    // Whole or nothing: a temporary file beside the target, then the rename over it.
    return gdtthreaded::Threaded("Save",
                                 [&] { return gdtfs::WriteReplace(strPath, data) ? TRUE : FALSE; });
}

int CGDTSentence::Remove(int nIndex) {
    if (nIndex < 0 || nIndex >= GetCount()) return 0;
    delete m_fields[static_cast<std::size_t>(nIndex)];
    m_fields.erase(m_fields.begin() + nIndex);
    return 1;
}

eFIELD_ID CGDTSentence::GetID(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount()) return FIELD_NONE;
    return m_fields[static_cast<std::size_t>(nIndex)]->GetID();
}

CString CGDTSentence::GetValue(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount()) return GDT_NO_TEXT;
    return m_fields[static_cast<std::size_t>(nIndex)]->GetValue();
}

int CGDTSentence::GetValueToInt(int nIndex) const {
    const CString v = GetValue(nIndex);
    if (v.empty() || nIndex < 0 || nIndex >= GetCount()) return GDT_NO_INT;
    return CGDTUtils::GetInt(v);
}

double CGDTSentence::GetValueToDouble(int nIndex) const {
    const CString v = GetValue(nIndex);
    if (v.empty() || nIndex < 0 || nIndex >= GetCount()) return GDT_NO_REAL;
    return CGDTUtils::GetDouble(v);
}

int CGDTSentence::FindFields(eFIELD_ID id, std::vector<int>& indexes) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (m_fields[static_cast<std::size_t>(i)]->GetID() == id) indexes.push_back(i);
    }
    return static_cast<int>(indexes.size());
}

int CGDTSentence::RemoveFields(eFIELD_ID id) {
    int n = 0;
    for (int i = GetCount() - 1; i >= 0; --i) {
        if (m_fields[static_cast<std::size_t>(i)]->GetID() == id) n += Remove(i);
    }
    return n;
}

int CGDTSentence::FindFirst(eFIELD_ID id) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (m_fields[static_cast<std::size_t>(i)]->GetID() == id) return i;
    }
    return -1;
}

CString CGDTSentence::GetFieldValue(eFIELD_ID id) const { return GetValue(FindFirst(id)); }

int CGDTSentence::GetFieldValueToInt(eFIELD_ID id) const {
    const int i = FindFirst(id);
    return i < 0 ? GDT_NO_INT : GetValueToInt(i);
}

double CGDTSentence::GetFieldValueToDouble(eFIELD_ID id) const {
    const int i = FindFirst(id);
    return i < 0 ? GDT_NO_REAL : GetValueToDouble(i);
}

int CGDTSentence::GetFieldValueToEnum(eFIELD_ID id) const {
    const int n = GetFieldValueToInt(id);
    return n == -1 ? GDT_NO_ENUM : n;
}

int CGDTSentence::GetFieldValues(eFIELD_ID id, CStringArray& values) const {
    int n = 0;
    for (const CGDTField* f : m_fields) {
        if (f->GetID() == id) {
            values.push_back(f->GetValue());
            ++n;
        }
    }
    return n;
}

void CGDTSentence::Add(eFIELD_ID id, const CString& value) { m_fields.push_back(new CGDTField(id, value)); }

void CGDTSentence::AddText(eFIELD_ID id, const CString& value) {
    if (!IsNoText(value)) Add(id, value);
}

void CGDTSentence::AddReal(eFIELD_ID id, double value) {
    if (value != GDT_NO_REAL) Add(id, CGDTUtils::GetString(value));
}

void CGDTSentence::AddSentenceInfo(eSENTENCE_ID type, const CString& receiver, const CString& sender,
                                   eVERSION version, eCHAR_TYPE charType) {
    if (type != SENTENCE_NONE) Add(FIELD_SENTENCE_ID, CGDTUtils::GetString(type));
    if (!IsNoText(receiver)) Add(FIELD_RECEIVER_ID, CGDTUtils::GetString(receiver, 8));
    if (!IsNoText(sender)) Add(FIELD_SENDER_ID, CGDTUtils::GetString(sender, 8));
    if (version != VERSION_NONE) Add(FIELD_GDT_VERSION, CGDTUtils::GetString(version));
    if (charType != CHAR_TYPE_NONE) Add(FIELD_CHAR_TYPE, CGDTUtils::GetString(charType));
}

void CGDTSentence::AddPatientInfo(const CGDTSentence& order) {
    static const eFIELD_ID kIds[] = {FIELD_PATIENT_ID,    FIELD_PREFIX_NAME,  FIELD_LAST_NAME,
                                     FIELD_FIRST_NAME,    FIELD_BIRTH_DATE,   FIELD_PATIENT_TITLE,
                                     FIELD_INSURANCE_NUMBER, FIELD_RESIDENCE, FIELD_STREET,
                                     FIELD_INSURANCE_STATUS, FIELD_GENDER,    FIELD_HEIGHT,
                                     FIELD_WEIGHT,        FIELD_3628};
    for (eFIELD_ID id : kIds) {
        if (order.FindFirst(id) >= 0) Add(id, order.GetFieldValue(id));
    }
}

void CGDTSentence::AddPatientInfo(const CString& id, const CString& lastName, const CString& firstName,
                                  int year, int month, int day, eGENDER gender, double height,
                                  double weight) {
    AddText(FIELD_PATIENT_ID, id);
    AddText(FIELD_LAST_NAME, lastName);
    AddText(FIELD_FIRST_NAME, firstName);
    CString date;
    if (year != GDT_NO_INT && month != GDT_NO_INT && day != GDT_NO_INT &&
        CGDTUtils::GetStringFromDate(date, year, month, day)) {
        Add(FIELD_BIRTH_DATE, date);
    }
    if (gender != GENDER_NONE) Add(FIELD_GENDER, CGDTUtils::GetString(gender));
    AddReal(FIELD_HEIGHT, height);
    AddReal(FIELD_WEIGHT, weight);
}

void CGDTSentence::AddSoftwareInfo(const CString& maker, const CString& name, const CString& version) {
    AddText(FIELD_SW_MAKER, maker);
    AddText(FIELD_SW_NAME, name);
    AddText(FIELD_SW_VERSION, version);
}

void CGDTSentence::AddTestInfo(eDEVICE device, int year, int month, int day, int hour, int minute,
                               int second) {
    if (device != DEVICE_NONE) Add(FIELD_MEASURE_INFO, CGDTUtils::GetString(device));
    CString date;
    if (year != GDT_NO_INT && month != GDT_NO_INT && day != GDT_NO_INT &&
        CGDTUtils::GetStringFromDate(date, year, month, day)) {
        Add(FIELD_TEST_DATE, date);
    }
    if (hour != GDT_NO_INT && minute != GDT_NO_INT && second != GDT_NO_INT) {
        Add(FIELD_TEST_TIME, CGDTUtils::GetStringFromTime(hour, minute, second));
    }
}

void CGDTSentence::AddTest(const CString& testId, double value, double standard, double low, double high,
                           const CString& unit) {
    AddText(FIELD_TEST_ID, testId);
    AddReal(FIELD_TEST_VALUE, value);
    AddReal(FIELD_TEST_STANDARD_LIMIT, standard);
    AddReal(FIELD_TEST_LOW_LIMIT, low);
    AddReal(FIELD_TEST_HIGH_LIMIT, high);
    AddText(FIELD_TEST_UNIT, unit);
}

void CGDTSentence::AddFiles(const CString& attribute, const CString& format, const CString& description,
                            const CString& fileName) {
    AddText(FIELD_ARCHIVE_ATTRIBUTE, attribute);
    AddText(FIELD_ARCHIVE_FORMAT, format);
    AddText(FIELD_ARCHIVE_DESC, description);
    AddText(FIELD_ARCHIVE_PATH, fileName);
}

void CGDTSentence::AddComment(const CString& text) { AddText(FIELD_COMMENT, text); }
void CGDTSentence::AddResultsText(const CString& text) { AddText(FIELD_RESULT_TEXT, text); }
