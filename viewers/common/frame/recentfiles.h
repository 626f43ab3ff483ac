#pragma once
// The recent-file list of a program: the newest first, at most nSize entries, kept in the
// settings store under the program's key, section "Recent File List", "File1".."FileN".
#include <string>
#include <vector>

class CRecentFileList {
public:
    CRecentFileList(std::string strKeyPath, int nSize);
    void ReadList();
    void WriteList() const;
    // Moves the path to the front (an existing entry of the same file is not repeated).
    void Add(const std::string& strPath);
    void Remove(int nIndex);
    const std::vector<std::string>& Entries() const { return m_entries; }

private:
    std::string m_strKeyPath;
    int m_nSize;
    std::vector<std::string> m_entries;
};
