#pragma once
// Fixtures that the tests of every folder share.
#include <deque>
#include <string>
#include <vector>

#include "platform/notifier.h"

namespace testsupport {

// A fresh folder under $TMPDIR, removed with everything in it at the end of the scope.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    // The folder with a trailing "/".
    const std::string& Path() const { return m_strPath; }
    // Path() + name.
    std::string operator/(const std::string& name) const { return m_strPath + name; }

private:
    std::string m_strPath;
};

// Writes a whole file (creating parent folders); FALSE on failure.
bool WriteFile(const std::string& path, const std::string& data);
// The whole file, or empty when it cannot be read.
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

// Runs a shell command line with standard input from /dev/null and returns what it wrote
// to standard output (add 2>&1 for standard error too); *pStatus gets its exit status.
std::string RunCommand(const std::string& commandLine, int* pStatus = nullptr);
// A text quoted for a shell command line.
std::string ShellQuote(const std::string& text);

// The channels of a simulated cart's record, as the device simulator wrote them to its
// expectation file (JSON, key "channels"): one list of samples a channel.
std::vector<std::vector<int>> ExpectedChannels(const std::string& expectFile);

// Stands in for the operator: records every message box and gives the queued answers
// in order (then the absent operator's answers). Installed for its lifetime.
class CScriptedNotifier : public platform::INotifier {
public:
    struct Call {
        std::string text, caption;
        unsigned type;
        // Empty: text is in the installation code page; else the code page it was given in.
        std::string codePage;
        // The text as UTF-8, whatever it was given in.
        std::string Utf8() const;
    };
    CScriptedNotifier();
    ~CScriptedNotifier() override;
    int Ask(const std::string& text, const std::string& caption, unsigned type) override;
    int AskInCodePage(const std::string& text, const std::string& codePage,
                      const std::string& caption, unsigned type) override;

    std::deque<int> answers;
    std::vector<Call> calls;

private:
    platform::INotifier* m_pPrevious;
};

// Sets the installation code page for the scope.
class CCodePageScope {
public:
    explicit CCodePageScope(const std::string& iconvName);
    ~CCodePageScope();

private:
    std::string m_strPrevious;
};

// Sets (or with nullptr unsets) an environment variable for the scope.
class CEnvScope {
public:
    CEnvScope(const char* name, const char* value);
    ~CEnvScope();

private:
    std::string m_strName, m_strOld;
    bool m_bHadOld;
};

}  // namespace testsupport
