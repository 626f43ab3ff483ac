#include "oxudb/oxudbaccess.h"

#include "oxudb/sqlquery.h"

namespace {

// The text of a named column in a row of the command; empty when there is none.
CString Column(const COxuDbCommand& command, std::size_t nRow, const char* pszColumn) {
    if (nRow >= command.m_aRows.size())
        return CString();
    const auto& row = command.m_aRows[nRow];
    for (std::size_t i = 0; i < command.m_astrColumns.size() && i < row.size(); ++i) {
        if (command.m_astrColumns[i] == pszColumn)
            return row[i];
    }
    return CString();
}

// Fills the members from the first row; 0 when the command holds no row.
int Fill(const COxuDbCommand* pCommand,
         std::initializer_list<std::pair<CString*, const char*>> fields) {
    if (!pCommand || pCommand->m_aRows.empty())
        return 0;
    for (const auto& f : fields)
        *f.first = Column(*pCommand, 0, f.second);
    return 1;
}

// A table or column name is put into a statement only when it is a plain name.
bool IsPlainName(const CString& str) {
    if (str.empty())
        return false;
    for (char c : str) {
        const bool bOk =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!bOk)
            return false;
    }
    return !(str[0] >= '0' && str[0] <= '9');
}

}  // namespace

COxuDbObject* COxuDbObjectPtrArray::GetAt(int nIndex) const {
    return nIndex >= 0 && nIndex < GetSize() ? m_apObjects[static_cast<std::size_t>(nIndex)]
                                             : nullptr;
}

int COxuDbObjectPtrArray::Add(COxuDbObject* pObject) {
    m_apObjects.push_back(pObject);
    return GetSize() - 1;
}

COxuDbUser::COxuDbUser(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "users") {}

int COxuDbUser::GetData(COxuDbCommand* pCommand) {
    return Fill(pCommand, {{&m_strUserId, "user_id"},
                           {&m_strUserName, "user_name"},
                           {&m_strPasswd, "passwd"},
                           {&m_strRole, "role"}});
}

COxuDbRoles::COxuDbRoles(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "roles") {}

int COxuDbRoles::GetData(COxuDbCommand* pCommand) {
    return Fill(pCommand, {{&m_strRole, "role"}, {&m_strDescription, "description"}});
}

COxuDbPermissions::COxuDbPermissions(COxuDbConnect* pConnect)
    : COxuDbObject(pConnect, "permissions") {}

int COxuDbPermissions::GetData(COxuDbCommand* pCommand) {
    return Fill(pCommand, {{&m_strRole, "role"}, {&m_strPermission, "permission"}});
}

COxuDbResult::COxuDbResult(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "result") {}

int COxuDbResult::GetData(COxuDbCommand* pCommand) {
    return Fill(pCommand, {{&m_strInstanceUID, "instance_uid"},
                           {&m_strResultText, "result_text"},
                           {&m_strReporter, "reporter"},
                           {&m_strResultDate, "result_date"}});
}

COxuDbUserArray::COxuDbUserArray() = default;

COxuDbUserArray::~COxuDbUserArray() {
    RemoveAll();
}

COxuDbUser* COxuDbUserArray::GetAt(int nIndex) const {
    return nIndex >= 0 && nIndex < GetSize() ? m_apUsers[static_cast<std::size_t>(nIndex)]
                                             : nullptr;
}

int COxuDbUserArray::Add(COxuDbUser* pUser) {
    m_apUsers.push_back(pUser);
    return GetSize() - 1;
}

int COxuDbUserArray::Load(const COxuDbCommand& command) {
    for (std::size_t i = 0; i < command.m_aRows.size(); ++i) {
        COxuDbCommand one;
        one.m_astrColumns = command.m_astrColumns;
        one.m_aRows.push_back(command.m_aRows[i]);
        auto* pUser = new COxuDbUser;
        pUser->GetData(&one);
        Add(pUser);
    }
    return static_cast<int>(command.m_aRows.size());
}

void COxuDbUserArray::RemoveAll() {
    for (COxuDbUser* p : m_apUsers)
        delete p;
    m_apUsers.clear();
}

COxuDbStringQuery::COxuDbStringQuery(COxuDbConnect* pConnect, LPCSTR lpszTable, LPCSTR lpszColumn)
    : COxuDbObject(pConnect, lpszTable), m_strColumn(lpszColumn ? lpszColumn : "") {}

void COxuDbStringQuery::SetFilter(LPCSTR lpszColumn, LPCSTR lpszValue) {
    m_strFilterColumn = lpszColumn ? lpszColumn : "";
    m_strFilterValue = lpszValue ? lpszValue : "";
}

CString COxuDbStringQuery::GetSql() const {
    if (!IsPlainName(m_strTable) || !IsPlainName(m_strColumn))
        return CString();
    if (!m_strFilterColumn.empty() && !IsPlainName(m_strFilterColumn))
        return CString();
    CString sql =
        CString("SELECT ") + (m_bDistinct ? "DISTINCT " : "") + m_strColumn + " FROM " + m_strTable;
    if (!m_strFilterColumn.empty())
        sql += " WHERE " + m_strFilterColumn + " = $1";
    return sql + " ORDER BY " + m_strColumn;
}

int COxuDbStringQuery::GetData(COxuDbCommand* pCommand) {
    COxuDbCommand& out = pCommand ? *pCommand : m_command;
    out = COxuDbCommand();
    const CString sql = GetSql();
    if (sql.empty()) {
        m_strLastError = "Not a plain table or column name";
        return -1;
    }
    CSQLQuery query(m_pConnect);
    CStringArray params;
    if (!m_strFilterColumn.empty())
        params.push_back(m_strFilterValue);
    if (!query.Open(sql.c_str(), params)) {
        m_strLastError = query.GetLastError();
        return -1;
    }
    out.m_astrColumns = {m_strColumn};
    for (query.MoveFirst(); !query.IsEOF(); query.MoveNext())
        out.m_aRows.push_back({query.GetValue(0)});
    return static_cast<int>(out.m_aRows.size());
}

COxuLogin::~COxuLogin() = default;

BOOL COxuLogin::Login(const COxuDbUserArray& users, LPCSTR lpszUserId, LPCSTR lpszPasswd) {
    Logout();
    const CString id = lpszUserId ? lpszUserId : "", passwd = lpszPasswd ? lpszPasswd : "";
    for (int i = 0; i < users.GetSize(); ++i) {
        const COxuDbUser* p = users.GetAt(i);
        if (!id.empty() && p->m_strUserId == id && p->m_strPasswd == passwd) {
            m_strUserId = id;
            m_strPasswd = passwd;
            m_strRole = p->m_strRole;
            m_bLogined = 1;
            return TRUE;
        }
    }
    return FALSE;
}

void COxuLogin::Logout() {
    m_strUserId.clear();
    m_strPasswd.clear();
    m_strRole.clear();
    m_bLogined = 0;
}
