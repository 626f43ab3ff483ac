#include "acq_server/recordmemory.h"

#include <algorithm>
#include <memory>
#include <mutex>

namespace acq {

namespace {
struct CReserve {
    std::mutex lock;
    std::vector<std::vector<BYTE>> bytes;
    std::vector<std::unique_ptr<CWaveBuffer>> leads;
};
CReserve& Reserve() {
    static CReserve* pReserve = new CReserve;  // lives to the process end, past static teardown
    return *pReserve;
}
}  // namespace

std::vector<BYTE> CRecordMemory::TakeBytes(std::size_t nBytes) {
    CReserve& r = Reserve();
    {
        std::lock_guard<std::mutex> g(r.lock);
        auto it = std::find_if(r.bytes.begin(), r.bytes.end(),
                               [nBytes](const std::vector<BYTE>& b) { return b.size() == nBytes; });
        if (it != r.bytes.end()) {
            std::vector<BYTE> out = std::move(*it);
            r.bytes.erase(it);
            std::fill(out.begin(), out.end(), 0);
            return out;
        }
    }
    return std::vector<BYTE>(nBytes, 0);
}

void CRecordMemory::GiveBytes(std::vector<BYTE>& bytes) {
    if (bytes.empty())
        return;
    CReserve& r = Reserve();
    std::lock_guard<std::mutex> g(r.lock);
    if (r.bytes.size() < kReserve)
        r.bytes.push_back(std::move(bytes));
    std::vector<BYTE>().swap(bytes);
}

BOOL CRecordMemory::TakeLeads(CWaveBuffer& leads, UINT nSamples) {
    CReserve& r = Reserve();
    std::unique_ptr<CWaveBuffer> pKept;
    {
        std::lock_guard<std::mutex> g(r.lock);
        auto it = std::find_if(r.leads.begin(), r.leads.end(), [nSamples](const auto& p) {
            return p->GetSamplesPerChannel() == nSamples;
        });
        if (it != r.leads.end()) {
            pKept = std::move(*it);
            r.leads.erase(it);
        }
    }
    if (pKept && leads.MoveFrom(*pKept))
        return leads.Zero();
    return leads.CreateLeads(nSamples, 2);
}

void CRecordMemory::GiveLeads(CWaveBuffer& leads) {
    if (!leads.HasBlock())
        return;
    CReserve& r = Reserve();
    std::lock_guard<std::mutex> g(r.lock);
    if (r.leads.size() < kReserve) {
        leads.UnlockAll();
        auto pKept = std::make_unique<CWaveBuffer>();
        if (pKept->MoveFrom(leads))
            r.leads.push_back(std::move(pKept));
    }
    leads.Free();
}

std::size_t CRecordMemory::ReserveCount() {
    CReserve& r = Reserve();
    std::lock_guard<std::mutex> g(r.lock);
    return r.bytes.size() + r.leads.size();
}

}  // namespace acq
