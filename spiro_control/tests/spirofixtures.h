#pragma once
// The spirometry fixtures of tools/fixtures/spiro, written once per test program, and
// their landmark and values files.
#include <map>
#include <memory>
#include <string>

#include "spiro_control/spirotestfile.h"
#include "testsupport/testsupport.h"

namespace spirotest {

// The folder holding every fixture (made on first use, removed at exit).
const std::string& FixtureDir();
// "spiro_t1_f2.fvc" etc.: the random-word fixture of a type and format.
std::string RandomFixture(int nType, int nFormat);
// "shaped_t1_f0.fvc" etc.
std::string ShapedFixture(int nType, int nFormat);
// NAME VALUE lines of a ".landmarks" file.
std::map<std::string, double> Landmarks(int nType, int nFormat);
// A record opened from a fixture path (the test fails when it does not open).
std::unique_ptr<CSpiroTestFile> OpenFixture(const std::string& strPath);

}  // namespace spirotest
