#pragma once
// A private folder on a second file system beside $TMPDIR, for moves that must copy: one
// in /dev/shm, a tmpfs of its own. A test that needs it fails when there is none.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "common/ZeqGF.h"

class COtherFileSystem {
public:
    explicit COtherFileSystem(const std::string& strBeside) {
        struct stat a, b;
        std::string dir = "/dev/shm/corvane-zeqgf-XXXXXX";
        if (stat(strBeside.c_str(), &a) == 0 && stat("/dev/shm", &b) == 0 && a.st_dev != b.st_dev &&
            mkdtemp(dir.data()))
            m_strPath = dir + "/";
    }
    ~COtherFileSystem() {
        if (m_strPath.empty())
            return;
        ZeqGF::DeleteMulti(CStringArray{m_strPath}, nullptr, FALSE, nullptr, 0);
        rmdir(m_strPath.c_str());
    }
    COtherFileSystem(const COtherFileSystem&) = delete;
    COtherFileSystem& operator=(const COtherFileSystem&) = delete;
    // The folder with a trailing "/"; empty when no second file system could be had.
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};
