// The server library carries these outside members and shows them to its host (nm).
#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

TEST(OxuServerCarries, TheOutsideMembersItsHostMayCall) {
    int nStatus = -1;
    const std::string out = testsupport::RunCommand(
        "nm -DC --defined-only " + testsupport::ShellQuote(OXUSERVER_PATH), &nStatus);
    ASSERT_EQ(nStatus, 0) << out;
    for (const char* member : {
             "COxuDbObjectPtrArray::Add(COxuDbObject*)",
             "COxuDbStringQuery::COxuDbStringQuery(COxuDbConnect*, char const*, char const*)",
             "vtable for COxuDbStringQuery",
             "COxuLogin::Login(",
             "vtable for COxuLogin",
             "COxuDbPermissions::COxuDbPermissions(COxuDbConnect*)",
             "COxuDbRoles::COxuDbRoles(COxuDbConnect*)",
             "COxuDbUser::COxuDbUser(COxuDbConnect*)",
             "COxuDbResult::COxuDbResult(COxuDbConnect*)",
             "COxuDbUserArray::COxuDbUserArray()",
             "COxuDbUserArray::~COxuDbUserArray()",
             "CMsXmlFile::CMsXmlFile(CMsXmlFile const&)",
             "CMsXmlFile::operator=(CMsXmlFile const&)",
             "CStringFormat::CStringFormat(CStringFormat const&)",
             "CStringFormat::operator=(CStringFormat const&)",
         }) {
        EXPECT_NE(out.find(member), std::string::npos) << member;
    }
}
