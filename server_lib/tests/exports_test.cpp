// What libOxuServer.so exports: its own classes and the outside classes it carries, and
// nothing of Asio, DCMTK, SQLite or libpq (judged by nm).
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "testsupport/testsupport.h"

TEST(OxuServerExports, OnlyTheLibrarysClasses) {
    int nStatus = -1;
    const std::string out = testsupport::RunCommand(
        "nm -DC --defined-only " + testsupport::ShellQuote(OXUSERVER_PATH), &nStatus);
    ASSERT_EQ(nStatus, 0) << out;
    EXPECT_NE(out.find("COxuServerCom::DbConnect()"), std::string::npos);
    EXPECT_NE(out.find("typeinfo for COxuSocketCallback"), std::string::npos);
    EXPECT_NE(out.find("CSQLQuery::Open("), std::string::npos);
    const std::regex foreign(
        "^[0-9a-f]+ \\w ((typeinfo( name)? for |vtable for )?)(asio::|std::|sqlite3|PQ|pg_|"
        "Dcm|OF|dcmtk|T_ASC|T_DIMSE|ASC_|DIMSE_|CDeviceLink|CRecordAssembler|CFtp)");
    std::istringstream in(out);
    int nForeign = 0;
    for (std::string line; std::getline(in, line);)
        if (std::regex_search(line, foreign)) {
            ADD_FAILURE() << line;
            if (++nForeign > 10)
                break;
        }
}
