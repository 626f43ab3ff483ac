#pragma once
// A query on the connection, inside whatever transaction the connection has open. Values
// come back as texts in the installation code page.
#include <vector>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class COxuDbConnect;

class OXU_EXPORT CSQLQuery {
public:
    explicit CSQLQuery(COxuDbConnect* pConnect = nullptr);
    virtual ~CSQLQuery();

    // Runs the statement; its texts are the values of $1, $2, ... TRUE on success.
    BOOL Open(LPCSTR lpszSql, const CStringArray& astrParams = {});
    int GetRowCount() const { return static_cast<int>(m_aRows.size()); }
    int GetColumnCount() const { return static_cast<int>(m_astrColumns.size()); }
    BOOL IsEOF() const { return m_nRow >= GetRowCount() ? TRUE : FALSE; }
    void MoveFirst() { m_nRow = 0; }
    void MoveNext() { ++m_nRow; }

    CString GetValue(LPCSTR lpszColumn) const;
    CString GetValue(int nColumn) const;
    int GetIntValue(LPCSTR lpszColumn) const;
    int GetIntValue(int nColumn) const;

    // Transaction of the connection: 0 when done, 1 when there is no connection, -1 on
    // failure (the result codes of the transaction calls this stands in for).
    int BeginTrans();
    int Commit(BOOL bRetaining = FALSE, DWORD nType = 0, DWORD nFlags = 0);
    int Abort(void* pBoid = nullptr, BOOL bRetaining = FALSE, BOOL bAsync = FALSE);
    const CString& GetLastError() const { return m_strLastError; }
    COxuDbConnect* GetSession() const { return m_pConnect; }
    COxuDbConnect* GetDataSource() const { return m_pConnect; }

private:
    COxuDbConnect* m_pConnect;
    std::vector<CString> m_astrColumns;
    std::vector<std::vector<CString>> m_aRows;
    int m_nRow = 0;
    CString m_strLastError;
};
