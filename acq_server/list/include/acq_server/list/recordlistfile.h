#pragma once
// The day's list file "FQarServer.ini" as the receiving path writes it, one record at a
// time at a cost that does not grow with the day: the keys and paths in the file are kept
// in memory, and a new entry is appended in one write and synced before the call returns
// (or, for many entries at once, synced by one later call).
// The file is written whole (a temporary file renamed over it, as the profile engine does)
// only when entries go (the first record of a new day) or when an append would not keep
// its shape (the list section not the file's last, no final line break). A reader of the
// file at any moment sees whole sections. When another program changed the file, it is
// read again first.
//
// Beside it, the mark of the conversions: records are listed in the order they are taken
// and converted in that order, and the mark names the last entry converted, so every entry
// behind it is still owed after a restart. Converting a record again is harmless (its
// outputs are written whole), so the mark may lag; it never runs ahead.
#include <sys/types.h>

#include <ctime>
#include <string>
#include <unordered_set>
#include <vector>

#include "acq_server/list/recordlist.h"

class CRecordListFile {
public:
    explicit CRecordListFile(std::string strWorkingFolder);

    const std::string& WorkingFolder() const { return m_strWorkingFolder; }
    const std::string& Path() const { return m_strPath; }

    // Enters a record (ID, "YYYYMMDDHHMM" of its arrival, path) under "PAT<ID>_<time>" ("=" in
    // the ID written "_"), or "_2", "_3"... behind it when that key is taken; entries of days
    // before its own go once they are converted. *pKey gets the key. FALSE when the file could
    // not be written.
    bool Add(const std::string& strID, const std::string& strKeyTime, const std::string& strPath,
             std::string* pKey = nullptr);
    // Add without the sync of an appended entry: it is on disk once Sync of the file's path
    // returned TRUE after it (that path may be synced on any thread).
    bool Enter(const std::string& strID, const std::string& strKeyTime,
               const std::string& strPath, std::string* pKey, bool bSync = false);
    static bool Sync(const std::string& strPath);
    // Whether an entry of the file names the path.
    bool Lists(const std::string& strPath);
    // Reads the file again when it is not as this object last left it (every call above does
    // so first); a long day's list is thus read before the first device waits on it.
    void Refresh();

    // Drops the lines before the first key holding strToday ("YYYYMMDD"), but none behind the
    // conversion mark (pMark: the marked key; one the lines do not hold keeps them all): what
    // is owed stays on disk until it is converted. TRUE when any went.
    static bool PruneLines(std::vector<std::string>& lines, const std::string& strToday,
                           const std::string* pMark = nullptr);

private:
    void Index(const std::string& strText);
    bool Append(const std::string& strLine, bool bSync);
    bool WriteWhole(const std::string& strKey, const std::string& strValue,
                    const std::string& strToday);

    std::string m_strWorkingFolder;
    std::string m_strPath;
    bool m_bKnown = false;  // m_seen is the file as last read or written
    struct {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        std::time_t sec = 0;
        long nsec = 0;
    } m_seen;
    bool m_bExists = false;
    bool m_bAppendable = false;
    std::string m_strFirstKey;
    std::unordered_set<std::string> m_keys;  // lower case, as keys compare
    std::unordered_set<std::string> m_paths;
};

// An entry of the list file that is still to be converted.
struct COwedEntry {
    std::string strKey;
    CRecordRow row;
};

class CConversionMark {
public:
    static constexpr const char* kFileName = ".FQarServer.converted";

    static std::string MarkPath(const std::string& strWorkingFolder);
    // The marked key; FALSE when the folder has no mark.
    static bool Read(const std::string& strWorkingFolder, std::string& strKey);
    // The entries behind the mark, oldest first; every entry when the mark names none the
    // file holds (its entry went with its day). A list without a mark gets one at its last
    // entry first: a list kept before marks existed counts as converted.
    static std::vector<COwedEntry> Owed(const std::string& strWorkingFolder);
    // The entry of that key is converted (and every one before it).
    static bool Mark(const std::string& strWorkingFolder, const std::string& strKey);
};
