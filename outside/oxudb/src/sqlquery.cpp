#include "oxudb/sqlquery.h"

#include <cstdlib>

#include "oxudb/oxudbconnect.h"
#include "oxudb/serverdb.h"
#include "platform/codepage.h"

CSQLQuery::CSQLQuery(COxuDbConnect* pConnect) : m_pConnect(pConnect) {}

CSQLQuery::~CSQLQuery() = default;

BOOL CSQLQuery::Open(LPCSTR lpszSql, const CStringArray& astrParams) {
    m_astrColumns.clear();
    m_aRows.clear();
    m_nRow = 0;
    oxudb::IServerDb* pDb = m_pConnect ? m_pConnect->GetDb() : nullptr;
    if (!pDb) {
        m_strLastError = "No database connection";
        return FALSE;
    }
    std::vector<oxudb::CDbParam> params;
    for (const CString& str : astrParams)
        params.push_back(oxudb::CDbParam::Text(platform::ToUtf8(str)));
    oxudb::CDbResult result;
    if (!pDb->Execute(lpszSql ? lpszSql : "", params, &result)) {
        m_strLastError = pDb->LastError();
        return FALSE;
    }
    m_astrColumns = result.columns;
    for (auto& row : result.rows) {
        std::vector<CString> texts;
        for (auto& value : row)
            texts.push_back(platform::FromUtf8(value));
        m_aRows.push_back(std::move(texts));
    }
    return TRUE;
}

CString CSQLQuery::GetValue(int nColumn) const {
    if (IsEOF() || nColumn < 0 || nColumn >= static_cast<int>(m_astrColumns.size()))
        return CString();
    return m_aRows[m_nRow][nColumn];
}

CString CSQLQuery::GetValue(LPCSTR lpszColumn) const {
    for (std::size_t i = 0; i < m_astrColumns.size(); ++i)
        if (m_astrColumns[i] == lpszColumn)
            return GetValue(static_cast<int>(i));
    return CString();
}

int CSQLQuery::GetIntValue(LPCSTR lpszColumn) const {
    return std::atoi(GetValue(lpszColumn).c_str());
}

int CSQLQuery::GetIntValue(int nColumn) const {
    return std::atoi(GetValue(nColumn).c_str());
}

int CSQLQuery::BeginTrans() {
    if (!m_pConnect || !m_pConnect->IsConnect())
        return 1;
    return m_pConnect->BeginTransaction() ? 0 : -1;
}

int CSQLQuery::Commit(BOOL, DWORD, DWORD) {
    if (!m_pConnect || !m_pConnect->IsConnect())
        return 1;
    return m_pConnect->Commit() ? 0 : -1;
}

int CSQLQuery::Abort(void*, BOOL, BOOL) {
    if (!m_pConnect || !m_pConnect->IsConnect())
        return 1;
    return m_pConnect->Rollback() ? 0 : -1;
}
