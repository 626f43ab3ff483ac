#pragma once
// DICOM UIDs from keys under the database's root: root.study, root.study.series,
// root.study.series.instance. Keys are unique per database, so UIDs are too. A UID that
// would pass 64 characters is not made (empty text).
#include <cstdint>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class COxuDbConnect;

class OXU_EXPORT COxuDbUIDGen {
public:
    explicit COxuDbUIDGen(const COxuDbConnect* pConnect = nullptr);
    explicit COxuDbUIDGen(CString strRoot) : m_strRoot(std::move(strRoot)) {}
    virtual ~COxuDbUIDGen();
    COxuDbUIDGen(const COxuDbUIDGen&) = default;

    CString GenStudyUID(std::int64_t nStudy) const;
    CString GenSeriesUID(std::int64_t nStudy, std::int64_t nSeries) const;
    CString GenInstanceUID(std::int64_t nStudy, std::int64_t nSeries, std::int64_t nInstance) const;

    // A new root: "2.25." and 25 random decimal digits (no leading zero).
    static CString MakeRoot();
    static constexpr std::size_t kMaxUid = 64;

private:
    CString Join(const CString& strTail) const;
    CString m_strRoot;
};
