#pragma once
// What the bars' tests share: the spirometry fixtures (made once per test program), the
// real control created as a new user gets it, and copies of fixtures to write into.
#include <QWidget>
#include <memory>
#include <string>

#include "spiro_control/host/flowlin.h"
#include "testsupport/testsupport.h"

namespace barstest {

// The folder of make_spiro_fixtures.py's files (with a trailing "/").
const std::string& FixtureDir();
// A fresh copy of a fixture in dir; the copy's path.
std::string CopyFixture(const std::string& name, const testsupport::CTempDir& dir);

// The real spirometry control in a window of its own.
class CRealControl {
public:
    CRealControl();
    CFlowlin& operator*() { return m_flowlin; }
    CFlowlin* operator->() { return &m_flowlin; }
    CFlowlin* get() { return &m_flowlin; }
    bool IsCreated() const { return m_flowlin.IsCreated(); }
    const std::string& Error() const { return m_strError; }

private:
    QWidget m_parent;
    CFlowlin m_flowlin;
    std::string m_strError;
};

// The record as the test-file reader reads it: information kind -> text.
std::string ReadInformation(const std::string& path, short nKind);
std::string ReadRace(const std::string& path);
std::string ReadSmoke(const std::string& path);
std::string ReadSmokePack(const std::string& path);

}  // namespace barstest
