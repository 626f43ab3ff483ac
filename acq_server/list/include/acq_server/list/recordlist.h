#pragma once
// The received-data list without Qt: the rows the frame shows (newest first, at most
// 10,000) and the day's list file "FQarServer.ini" in the working folder that keeps them
// between runs.
//
// List file: section "DATA_LIST", one entry per record in arrival order,
//   PAT<ID>_<YYYYMMDDHHMM>=<ID> <YYYYMMDDHHMM> <path>
// A key already taken (a second record of one patient in the same minute) gets "_2",
// "_3"... so that no record replaces another. Entries of earlier days are removed when a
// record is added and at start-up. Writing it: recordlistfile.h.
#include <ctime>
#include <deque>
#include <string>

struct CRecordRow {
    std::string m_strTime;  // "YYYY/MM/DD HH:MM"
    std::string m_strPatientID;
    std::string m_strPath;

    bool operator==(const CRecordRow&) const = default;
};

class CRecordList {
public:
    static constexpr std::size_t kMaxRows = 10000;
    static constexpr const char* kFileName = "FQarServer.ini";
    static constexpr const char* kSection = "DATA_LIST";

    // The working folder with one trailing separator removed, then "/" and the file name.
    static std::string ListFilePath(const std::string& strWorkingFolder);
    // "%Y/%m/%d %H:%M" and "%Y%m%d%H%M" of a local time.
    static std::string ListTime(std::time_t t);
    static std::string KeyTime(std::time_t t);
    // "YYYYMMDDHHMM" -> "YYYY/MM/DD HH:MM"; a text of another length comes back as it is.
    static std::string KeyTimeToListTime(const std::string& strKeyTime);
    // Splits a list-file value at its first two blanks (the path may hold blanks); FALSE
    // when it does not give three fields.
    static bool ParseValue(const std::string& strValue, CRecordRow& row);
    // One entry, key and value: the key gives the ID's length, so an ID that holds blanks
    // (or "=", ";", code-page bytes) reads back whole; an entry whose key does not fit its
    // value is split as ParseValue does.
    static bool ParseEntry(const std::string& strKey, const std::string& strValue, CRecordRow& row);

    // Fills the rows from the list file (the whole section; the newest 10,000 kept).
    // A missing or unreadable file leaves the list empty.
    void LoadRows(const std::string& strWorkingFolder);
    // Puts a row on top; the oldest goes when there are more than 10,000. TRUE when a row
    // was dropped at the end.
    bool AddRow(CRecordRow row);
    void Clear() { m_rows.clear(); }

    const std::deque<CRecordRow>& Rows() const { return m_rows; }
    std::size_t Size() const { return m_rows.size(); }
    const CRecordRow& Row(std::size_t i) const { return m_rows[i]; }
    // Replaces the rows' order (the list's own sorting).
    std::deque<CRecordRow>& MutableRows() { return m_rows; }

    // Enters one record into the list file and removes the entries of days before the
    // entry's own (its time's first 8 characters). FALSE when the file could not be written.
    // strKeyTime is "YYYYMMDDHHMM"; *pKey gets the key used.
    static bool UpdateDataList(const std::string& strWorkingFolder, const std::string& strID,
                               const std::string& strKeyTime, const std::string& strPath,
                               std::string* pKey = nullptr);
    // Removes every entry before the first whose key holds strToday ("YYYYMMDD"); all of
    // them when none does; never one still owed its conversions (recordlistfile.h). The
    // file is left alone when nothing goes.
    static bool PruneListFile(const std::string& strWorkingFolder, const std::string& strToday);

private:
    std::deque<CRecordRow> m_rows;
};
