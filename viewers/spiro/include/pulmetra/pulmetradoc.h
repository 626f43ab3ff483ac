#pragma once
// Pulmetra's one document: the list of open spirometry exams and the title. Its creation
// writes the file-server and cache defaults of "SPIRO_VIEW".
#include <functional>

#include "viewers/common/examlist.h"

class COxuPulmetraView;

class COxuPulmetraDoc {
public:
    enum : unsigned { ID_CLOSE = 32776, ID_CLOSE_ALL = 32777, ID_SETTINGS = 32782 };
    static constexpr const char* kSection = "SPIRO_VIEW";

    COxuPulmetraDoc();
    // "FILE_SERVER" "127.0.0.1", "FILE_SERVER_PORT" 6003 and "CACHE_FOLDER" (the Cache
    // folder in the program's home folder), each when missing or empty (the port when 0
    // or less).
    static void WriteDefaults();
    // The program's INI file, "Pulmetra.ini" in its home folder.
    static CString IniPath();

    void SetView(COxuPulmetraView* p) { m_pView = p; }
    void SetTitleHandler(std::function<void(const CString&)> h) { m_onTitle = std::move(h); }

    BOOL OpenExam(const CString& strPath, int nWnd);
    void RemoveExam(CExamItem* pItem) { m_list.Remove(pItem); }
    void UpdateTitle();
    void OnClose();
    void OnCloseAll();
    void OnFileOpen();
    bool CanClose() const;
    bool HasExams() const { return m_list.GetSize() > 0; }

    const CString& GetTitle() const { return m_strTitle; }
    void SetTitle(const CString& s);
    CExamList& List() { return m_list; }

private:
    CExamList m_list;
    COxuPulmetraView* m_pView = nullptr;
    CString m_strTitle;
    std::function<void(const CString&)> m_onTitle;
};
