#pragma once
// Users, roles, permissions and reading results of the database, the login of a user, a
// list of rows that belong to one row, and a query of one column's texts. Each row class
// is made with no connection by default and takes its values from the rows a statement
// gave (GetData, above 0 when a row was there).
#include <vector>

#include "oxudb/oxudbrows.h"

// Rows that belong to one row (its owner); the array does not own them.
class OXU_EXPORT COxuDbObjectPtrArray {
public:
    COxuDbObjectPtrArray() = default;
    void SetOwner(COxuDbObject* pOwner) { m_pOwner = pOwner; }
    COxuDbObject* GetOwner() const { return m_pOwner; }
    int GetSize() const { return static_cast<int>(m_apObjects.size()); }
    // Null outside 0..size-1.
    COxuDbObject* GetAt(int nIndex) const;
    int Add(COxuDbObject* pObject);
    void RemoveAll() { m_apObjects.clear(); }

private:
    COxuDbObject* m_pOwner = nullptr;
    std::vector<COxuDbObject*> m_apObjects;
};

class OXU_EXPORT COxuDbUser : public COxuDbObject {
public:
    explicit COxuDbUser(COxuDbConnect* pConnect = nullptr);
    // Columns user_id, user_name, passwd, role of the first row.
    int GetData(COxuDbCommand* pCommand) override;
    CString m_strUserId, m_strUserName, m_strPasswd, m_strRole;
};

class OXU_EXPORT COxuDbRoles : public COxuDbObject {
public:
    explicit COxuDbRoles(COxuDbConnect* pConnect = nullptr);
    // Columns role, description of the first row.
    int GetData(COxuDbCommand* pCommand) override;
    CString m_strRole, m_strDescription;
};

class OXU_EXPORT COxuDbPermissions : public COxuDbObject {
public:
    explicit COxuDbPermissions(COxuDbConnect* pConnect = nullptr);
    // Columns role, permission of the first row.
    int GetData(COxuDbCommand* pCommand) override;
    CString m_strRole, m_strPermission;
};

// A physician's reading of one instance.
class OXU_EXPORT COxuDbResult : public COxuDbObject {
public:
    explicit COxuDbResult(COxuDbConnect* pConnect = nullptr);
    // Columns instance_uid, result_text, reporter, result_date of the first row.
    int GetData(COxuDbCommand* pCommand) override;
    CString m_strInstanceUID, m_strResultText, m_strReporter, m_strResultDate;
};

// The users it holds are deleted with it (or by RemoveAll); not copyable for that reason.
class OXU_EXPORT COxuDbUserArray {
public:
    COxuDbUserArray();
    virtual ~COxuDbUserArray();
    COxuDbUserArray(const COxuDbUserArray&) = delete;
    COxuDbUserArray& operator=(const COxuDbUserArray&) = delete;

    int GetSize() const { return static_cast<int>(m_apUsers.size()); }
    COxuDbUser* GetAt(int nIndex) const;  // null outside 0..size-1
    // Takes the user over; its index.
    int Add(COxuDbUser* pUser);
    // One user per row of the command (its columns as COxuDbUser::GetData reads them).
    int Load(const COxuDbCommand& command);
    void RemoveAll();

private:
    std::vector<COxuDbUser*> m_apUsers;
};

// The texts of one column of its table, in order, once each with the distinct switch;
// GetData runs the query on the connection and leaves the rows in the command (or in the
// object's own record set): the number of rows, -1 on failure (the last error says why).
class OXU_EXPORT COxuDbStringQuery : public COxuDbObject {
public:
    explicit COxuDbStringQuery(COxuDbConnect* pConnect = nullptr, LPCSTR lpszTable = "",
                               LPCSTR lpszColumn = "");
    virtual void SetDistinct(int bDistinct) { m_bDistinct = bDistinct; }
    int IsDistinct() const { return m_bDistinct; }
    // Only rows whose filter column holds that text (no filter when the column is empty).
    void SetFilter(LPCSTR lpszColumn, LPCSTR lpszValue);
    // The statement GetData runs; empty when a table or column name is no plain name.
    CString GetSql() const;
    int GetData(COxuDbCommand* pCommand) override;

    CString m_strColumn;

private:
    int m_bDistinct = 0;
    CString m_strFilterColumn, m_strFilterValue;
};

// Who is logged in: a user of the list whose ID and password match.
class OXU_EXPORT COxuLogin {
public:
    COxuLogin() = default;
    virtual ~COxuLogin();

    // TRUE (and logged in as that user) when the list holds the ID with that password.
    BOOL Login(const COxuDbUserArray& users, LPCSTR lpszUserId, LPCSTR lpszPasswd);
    void Logout();

    virtual CString GetUserId() const { return m_strUserId; }
    virtual CString GetUserPasswd() const { return m_strPasswd; }
    virtual CString GetRole() const { return m_strRole; }
    virtual int IsLogined() const { return m_bLogined; }

private:
    CString m_strUserId, m_strPasswd, m_strRole;
    int m_bLogined = 0;
};
