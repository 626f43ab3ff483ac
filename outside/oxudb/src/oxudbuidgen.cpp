#include "oxudb/oxudbuidgen.h"

#include <random>

#include "oxudb/oxudbconnect.h"

COxuDbUIDGen::COxuDbUIDGen(const COxuDbConnect* pConnect)
    : m_strRoot(pConnect ? pConnect->GetUidRoot() : CString()) {}

COxuDbUIDGen::~COxuDbUIDGen() = default;

CString COxuDbUIDGen::MakeRoot() {
    std::random_device device;
    std::uniform_int_distribution<int> digit(0, 9), first(1, 9);
    CString str = "2.25.";
    str += static_cast<char>('0' + first(device));
    for (int i = 1; i < 25; ++i)
        str += static_cast<char>('0' + digit(device));
    return str;
}

CString COxuDbUIDGen::Join(const CString& strTail) const {
    if (m_strRoot.empty())
        return CString();
    CString str = m_strRoot + "." + strTail;
    return str.size() <= kMaxUid ? str : CString();
}

CString COxuDbUIDGen::GenStudyUID(std::int64_t nStudy) const {
    if (nStudy <= 0)
        return CString();
    return Join(std::to_string(nStudy));
}

CString COxuDbUIDGen::GenSeriesUID(std::int64_t nStudy, std::int64_t nSeries) const {
    if (nStudy <= 0 || nSeries <= 0)
        return CString();
    return Join(std::to_string(nStudy) + "." + std::to_string(nSeries));
}

CString COxuDbUIDGen::GenInstanceUID(std::int64_t nStudy, std::int64_t nSeries,
                                     std::int64_t nInstance) const {
    if (nStudy <= 0 || nSeries <= 0 || nInstance <= 0)
        return CString();
    return Join(std::to_string(nStudy) + "." + std::to_string(nSeries) + "." +
                std::to_string(nInstance));
}
