#include "testsupport/testsupport.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/codepage.h"

namespace fs = std::filesystem;

namespace testsupport {

CTempDir::CTempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-test-XXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    m_strPath = tmpl + "/";
}

CTempDir::~CTempDir() {
    std::error_code ec;
    // Tests may leave read-only entries behind; make them writable first. A link is left
    // as it is: permissions would follow it to a file outside the folder.
    fs::permissions(m_strPath, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(m_strPath, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(m_strPath, ec);
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

std::string RunCommand(const std::string& commandLine, int* pStatus) {
    std::string out;
    FILE* p = popen(("(" + commandLine + ") </dev/null").c_str(), "r");
    if (!p) {
        if (pStatus) *pStatus = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int st = pclose(p);
    if (pStatus) *pStatus = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}

std::string ShellQuote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'') q += "'\\''";
        else q.push_back(c);
    }
    return q + "'";
}

std::vector<std::vector<int>> ExpectedChannels(const std::string& expectFile) {
    std::istringstream in(RunCommand("python3 -c 'import json,sys; [print(*c) for c in "
                                     "json.load(open(sys.argv[1]))[\"channels\"]]' " +
                                     ShellQuote(expectFile)));
    std::vector<std::vector<int>> channels;
    for (std::string line; std::getline(in, line);) {
        std::istringstream values(line);
        channels.emplace_back();
        for (int v; values >> v;)
            channels.back().push_back(v);
    }
    return channels;
}

CScriptedNotifier::CScriptedNotifier() : m_pPrevious(platform::SetNotifier(this)) {}

CScriptedNotifier::~CScriptedNotifier() { platform::SetNotifier(m_pPrevious); }

int CScriptedNotifier::AskInCodePage(const std::string& text, const std::string& codePage,
                                     const std::string& caption, unsigned type) {
    const int nAnswer = Ask(text, caption, type);
    calls.back().codePage = codePage;
    return nAnswer;
}

std::string CScriptedNotifier::Call::Utf8() const {
    return platform::ToUtf8(text, codePage);
}

int CScriptedNotifier::Ask(const std::string& text, const std::string& caption, unsigned type) {
    calls.push_back({text, caption, type, {}});
    if (answers.empty()) return platform::DefaultAnswer(type);
    int a = answers.front();
    answers.pop_front();
    return a;
}

CCodePageScope::CCodePageScope(const std::string& iconvName) {
    // A code page that comes from the environment is given back as "no override", so that
    // the environment decides again after the scope.
    const char* env = std::getenv("CORVANE_CODEPAGE");
    const std::string fromEnv = env && *env ? env : "CP1252";
    const std::string current = platform::CodePageName();
    if (current != fromEnv) m_strPrevious = current;
    platform::SetCodePage(iconvName);
}

CCodePageScope::~CCodePageScope() { platform::SetCodePage(m_strPrevious); }

CEnvScope::CEnvScope(const char* name, const char* value) : m_strName(name) {
    const char* old = std::getenv(name);
    m_bHadOld = old != nullptr;
    if (old) m_strOld = old;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

CEnvScope::~CEnvScope() {
    if (m_bHadOld)
        setenv(m_strName.c_str(), m_strOld.c_str(), 1);
    else
        unsetenv(m_strName.c_str());
}

}  // namespace testsupport
