#pragma once
// A folder on a file system of its own of a given size (a tmpfs), so that writes past that
// size fail with "No space left on device" as on a full disk. It is mounted in a mount
// namespace of the calling thread's own, made at its first use there with private
// propagation (as `unshare -m` does): nothing mounted reaches the machine, and the mount
// goes with the test program whatever becomes of the test. Programs started from that
// thread afterwards, and the threads it starts, see the folder. Needs root.
#include <cstddef>
#include <string>

#include "testsupport/testsupport.h"

namespace testsupport {

class CSmallFolder {
public:
    explicit CSmallFolder(std::size_t nBytes);
    ~CSmallFolder();  // unmounted, then removed
    CSmallFolder(const CSmallFolder&) = delete;
    CSmallFolder& operator=(const CSmallFolder&) = delete;

    // Empty when the folder is mounted; else why not.
    const std::string& Error() const { return m_strError; }
    // The folder with a trailing "/".
    const std::string& Path() const { return m_dir.Path(); }
    // Fills what room is left with one file of that name (a write until the disk is full);
    // FALSE when the file could not be made.
    bool Fill(const std::string& name) const;

private:
    CTempDir m_dir;
    std::string m_strError;
    bool m_bMounted = false;
};

}  // namespace testsupport
