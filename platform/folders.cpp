#include "platform/folders.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

std::string WithSlash(std::string s) {
    if (s.empty() || s.back() != '/') s.push_back('/');
    return s;
}

std::string DirOf(const std::string& file) {
    size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

std::string UserHome() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir;
    return "/";
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

// A program name is one folder level: no separators, no "." or "..".
std::string SafeName(const std::string& name) {
    std::string out;
    for (char c : name) out.push_back(c == '/' || c == '\\' ? '_' : c);
    if (out.empty() || out == "." || out == "..") out = "_";
    return out;
}

}  // namespace

std::string ProgramPath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string ProgramDir() { return DirOf(ProgramPath()); }

std::string ModuleDir(const void* addressInModule) {
    Dl_info info{};
    if (!addressInModule || !dladdr(addressInModule, &info) || !info.dli_fname) return ProgramDir();
    std::string file = info.dli_fname;
    if (file.empty() || file.find('/') == std::string::npos) return ProgramDir();
    char real[PATH_MAX];
    if (realpath(file.c_str(), real)) file = real;
    return DirOf(file);
}

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    std::string cur;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        cur = path.substr(0, slash == std::string::npos ? path.size() : slash);
        if (!cur.empty() && mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    struct stat st{};
    if (stat(path.c_str(), &st) != 0) return false;
    // A file in the way: its mkdir said EEXIST, which would tell nothing.
    if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
    return S_ISDIR(st.st_mode);
}

std::string ConfigDir() {
    std::string dir = WithSlash(EnvOr("XDG_CONFIG_HOME", UserHome() + "/.config")) + "Corvane/";
    MakeDirs(dir);
    return dir;
}

std::string HomeDir(const std::string& program) {
    const char* home = std::getenv("CORVANE_HOME");
    std::string base = home && *home
                           ? WithSlash(home)
                           : WithSlash(EnvOr("XDG_DATA_HOME", UserHome() + "/.local/share")) + "Corvane/";
    std::string dir = base + SafeName(program) + "/";
    MakeDirs(dir);
    return dir;
}

std::string PrivateTempDir() {
    std::string dir = WithSlash(EnvOr("TMPDIR", "/tmp")) + "corvane-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // Someone else's folder, or a link planted in a shared /tmp, is never used. The checks
    // and the mode change are made on the folder opened without following links, so the
    // name cannot be switched between them.
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    struct stat st{};
    bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
              ((st.st_mode & 0077) == 0 || fchmod(fd, 0700) == 0);
    close(fd);
    return ok ? dir + "/" : std::string();
}

std::string MakeTempFile(const std::string& prefix, const std::string& suffix) {
    std::string dir = PrivateTempDir();
    if (dir.empty()) return {};
    std::string ext = suffix.empty() ? suffix : SafeName(suffix);
    std::string tmpl = dir + SafeName(prefix.empty() ? std::string("tmp") : prefix) + "XXXXXX" + ext;
    int fd = mkstemps(tmpl.data(), static_cast<int>(ext.size()));
    if (fd < 0) return {};
    close(fd);
    return tmpl;
}

}  // namespace platform
