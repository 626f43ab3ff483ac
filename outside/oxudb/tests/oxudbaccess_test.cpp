// Users, roles, permissions and results read from rows, the login against a user list, the
// row list of an owner and the one-column query on SQLite in memory.
#include <gtest/gtest.h>

#include <type_traits>

#include "oxudb/oxudbaccess.h"
#include "oxudb/oxudbconnect.h"
#include "oxudb/sqlquery.h"

namespace {

COxuDbCommand Rows(std::vector<CString> columns, std::vector<std::vector<CString>> rows) {
    COxuDbCommand c;
    c.m_astrColumns = std::move(columns);
    c.m_aRows = std::move(rows);
    return c;
}

}  // namespace

TEST(OxuDbAccess, RowsAreMadeWithoutAConnectionAndReadTheirColumns) {
    COxuDbUser user;
    COxuDbRoles roles;
    COxuDbPermissions permissions;
    COxuDbResult result;
    EXPECT_EQ(user.GetTableName(), "users");
    EXPECT_EQ(roles.GetTableName(), "roles");
    EXPECT_EQ(permissions.GetTableName(), "permissions");
    EXPECT_EQ(result.GetTableName(), "result");
    EXPECT_EQ(user.Save(), 0);
    COxuDbCommand empty;
    EXPECT_EQ(user.GetData(&empty), 0);
    EXPECT_EQ(user.GetData(nullptr), 0);
    // Columns by name, in any order; missing ones stay empty.
    COxuDbCommand u = Rows({"role", "user_id", "passwd"}, {{"doctor", "anna", "pw"}});
    EXPECT_EQ(user.GetData(&u), 1);
    EXPECT_EQ(user.m_strUserId, "anna");
    EXPECT_EQ(user.m_strRole, "doctor");
    EXPECT_EQ(user.m_strUserName, "");
    COxuDbCommand r = Rows({"instance_uid", "result_text", "reporter", "result_date"},
                           {{"2.25.1", "Sinus rhythm", "Dr. A", "20261210"}});
    EXPECT_EQ(result.GetData(&r), 1);
    EXPECT_EQ(result.m_strResultText, "Sinus rhythm");
    COxuDbCommand p = Rows({"role", "permission"}, {{"doctor", "report"}});
    EXPECT_EQ(permissions.GetData(&p), 1);
    EXPECT_EQ(permissions.m_strPermission, "report");
    COxuDbCommand d = Rows({"role", "description"}, {{"nurse", "records only"}});
    EXPECT_EQ(roles.GetData(&d), 1);
    EXPECT_EQ(roles.m_strDescription, "records only");
    // Rows copy; the user list owns its users and does not.
    COxuDbUser copy = user;
    EXPECT_EQ(copy.m_strPasswd, "pw");
    static_assert(!std::is_copy_constructible_v<COxuDbUserArray>);
    static_assert(std::is_copy_constructible_v<COxuDbObjectPtrArray>);
}

TEST(OxuDbAccess, LoginChecksTheUserList) {
    COxuDbUserArray users;
    EXPECT_EQ(users.Load(Rows({"user_id", "passwd", "role"},
                              {{"anna", "pw", "doctor"}, {"ben", "", "nurse"}})),
              2);
    EXPECT_EQ(users.GetSize(), 2);
    EXPECT_EQ(users.GetAt(1)->m_strRole, "nurse");
    EXPECT_EQ(users.GetAt(2), nullptr);
    COxuLogin login;
    EXPECT_FALSE(login.IsLogined());
    EXPECT_FALSE(login.Login(users, "anna", "wrong"));
    EXPECT_FALSE(login.Login(users, "", ""));
    EXPECT_TRUE(login.Login(users, "anna", "pw"));
    EXPECT_TRUE(login.IsLogined());
    EXPECT_EQ(login.GetUserId(), "anna");
    EXPECT_EQ(login.GetRole(), "doctor");
    EXPECT_TRUE(login.Login(users, "ben", ""));
    EXPECT_EQ(login.GetRole(), "nurse");
    login.Logout();
    EXPECT_FALSE(login.IsLogined());
    EXPECT_EQ(login.GetUserPasswd(), "");
    users.RemoveAll();
    EXPECT_EQ(users.GetSize(), 0);
}

TEST(OxuDbAccess, RowListKeepsItsOwner) {
    COxuDbStudy study;
    COxuDbSeries a, b;
    COxuDbObjectPtrArray series;
    EXPECT_EQ(series.GetOwner(), nullptr);
    series.SetOwner(&study);
    EXPECT_EQ(series.Add(&a), 0);
    EXPECT_EQ(series.Add(&b), 1);
    EXPECT_EQ(series.GetOwner(), &study);
    EXPECT_EQ(series.GetAt(1), &b);
    EXPECT_EQ(series.GetAt(-1), nullptr);
    COxuDbObjectPtrArray copy = series;
    series.RemoveAll();
    EXPECT_EQ(copy.GetSize(), 2);
}

TEST(OxuDbAccess, StringQueryGivesOneColumnOncePerValueWhenDistinct) {
    COxuDbConnect db;
    ASSERT_TRUE(db.Connect(":memory:", "", "", "", 1)) << db.GetLastError();
    CSQLQuery insert(&db);
    for (const char* row : {"('P1','2.25.1')", "('P2','2.25.2')", "('P1','2.25.3')"}) {
        ASSERT_TRUE(insert.Open(
            (std::string("INSERT INTO study (patient_id, study_uid) VALUES ") + row).c_str()))
            << insert.GetLastError();
    }
    COxuDbStringQuery query(&db, "study", "patient_id");
    EXPECT_EQ(query.IsDistinct(), 0);
    EXPECT_EQ(query.GetData(nullptr), 3);
    query.SetDistinct(1);
    COxuDbCommand rows;
    EXPECT_EQ(query.GetData(&rows), 2);
    EXPECT_EQ(rows.m_aRows, (std::vector<std::vector<CString>>{{"P1"}, {"P2"}}));
    query.SetFilter("study_uid", "2.25.2");
    EXPECT_EQ(query.GetData(&rows), 1);
    EXPECT_EQ(rows.m_aRows.front().front(), "P2");
    // Names are never taken as statement text.
    COxuDbStringQuery bad(&db, "study; DROP TABLE study", "patient_id");
    EXPECT_EQ(bad.GetData(nullptr), -1);
    EXPECT_EQ(bad.GetSql(), "");
    EXPECT_EQ(query.GetData(nullptr), 1);  // the table is still there
    COxuDbStringQuery none;
    EXPECT_EQ(none.GetData(nullptr), -1);
}
