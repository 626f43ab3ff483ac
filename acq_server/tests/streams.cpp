#include "streams.h"

#include <cstdio>
#include <cstring>

namespace teststream {

short Sample(int nChannel, int nIndex, int nSeed) {
    return static_cast<short>(((nIndex * (nChannel + 3) * 7 + nSeed * 13) % 2001) - 1000 +
                              nChannel * 10);
}
std::uint16_t Measure(int k, int j) {
    return static_cast<std::uint16_t>(100 * k + j + 1);
}
std::uint16_t Global(int g) {
    return static_cast<std::uint16_t>(60 + g * 11);
}

namespace {
void Put(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes)
        out.push_back(static_cast<std::uint8_t>(b));
}
void PutBE(Bytes& out, std::uint16_t n) {
    out.push_back(static_cast<std::uint8_t>(n >> 8));
    out.push_back(static_cast<std::uint8_t>(n & 0xFF));
}
void PutText(Bytes& out, const std::string& s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(i < s.size() ? s[i] : 0);
}
int BlockCount(const EcgSpec& desc) {
    return desc.nBlocks >= 0 ? desc.nBlocks : (desc.b6000 ? 1200 : 1000);
}
// 80 bytes: 5 frames of 8 big-endian samples.
void PutSamples(Bytes& out, int nBlock, int nSeed) {
    for (int f = 0; f < 5; ++f)
        for (int c = 0; c < 8; ++c)
            PutBE(out, static_cast<std::uint16_t>(Sample(c, nBlock * 5 + f, nSeed)));
}
// Patient item body (56 bytes behind tag and length).
void PutPatientBody(Bytes& out, const EcgSpec& desc) {
    out.push_back(16);
    PutText(out, desc.strID, 16);
    out.push_back(16);
    PutText(out, desc.strName, 16);
    out.push_back(3);
    PutText(out, "045", 3);
    out.push_back(0);
    out.push_back(6);
    PutText(out, "M", 6);
    out.push_back(4);
    PutText(out, "180", 4);
    out.push_back(4);
    PutText(out, "75", 4);
}
}  // namespace

Bytes LegacyEcg(const EcgSpec& desc) {
    Bytes out;
    Put(out, {0x16, 0x3A});
    PutPatientBody(out, desc);
    if (desc.bDate) {
        Put(out, {0x21, 0x0E});
        PutText(out, "202603040506", 12);
        Put(out, {0, 0});
    }
    Put(out, {0x23, 0x22, 0});
    PutText(out, "HOSPITAL A", 16);
    out.push_back(0);
    PutText(out, "DR WHO", 16);
    Put(out, {0x22, 4, 1, 2, 1, 0});
    Put(out, {0x24, 1, 3});
    const int nTag = desc.b6000 ? 0x40 : 0x03;
    for (int b = 0; b < BlockCount(desc); ++b) {
        Put(out, {nTag, 0x50});
        PutSamples(out, b, desc.nSeed);
    }
    Put(out, {nTag, 0});
    if (!desc.anPace.empty()) {
        Put(out, {0x37, static_cast<int>(desc.anPace.size())});
        for (std::size_t i = 0; i < 40; ++i)
            PutBE(out, i < desc.anPace.size() ? desc.anPace[i] : 0);
    }
    Put(out, {0x18, 0x10});
    for (int g = 0; g < 8; ++g)
        PutBE(out, Global(g));
    for (const auto& s : desc.astrStatements) {
        Put(out, {0x19, 80});
        PutText(out, s, 80);
    }
    Put(out, {0x19, 0});
    for (int k = 0; k < 5; ++k) {
        Put(out, {0x30 + k, 48});
        for (int j = 0; j < 24; ++j)
            PutBE(out, Measure(k, j));
        for (int j = 0; j < 32; ++j)
            out.push_back(0);
    }
    return out;
}

Bytes FrameEcg(const EcgSpec& desc) {
    Bytes out;
    Put(out, {0xFA, 0x02, desc.nTransferOption, 0xEF});
    // Header frame.
    const int nHeader = desc.nTransferOption == 3 ? 196 : 176;
    Bytes h(static_cast<std::size_t>(nHeader), 0);
    h[0] = 0xFD;
    h[1] = 0xA0;
    h[2] = static_cast<std::uint8_t>(nHeader >> 8);
    h[3] = static_cast<std::uint8_t>(nHeader & 0xFF);
    std::memcpy(h.data() + 4, desc.strID.data(), std::min<std::size_t>(16, desc.strID.size()));
    std::memcpy(h.data() + 36, desc.strName.data(), std::min<std::size_t>(16, desc.strName.size()));
    std::memcpy(h.data() + 68, "045\0", 4);
    std::memcpy(h.data() + 72, "F", 1);
    std::memcpy(h.data() + 88, "165", 3);
    std::memcpy(h.data() + 92, "60", 2);
    std::memcpy(h.data() + 96, "20260304050607", 14);
    const int nText = desc.nTransferOption == 3 ? 28 : 16;
    std::memcpy(h.data() + 110, "HOSPITAL B", 10);
    std::memcpy(h.data() + (desc.nTransferOption == 3 ? 166 : 142), "DR NO", 5);
    (void)nText;
    if (desc.bLongReply)
        h[174] = 1;
    h[nHeader - 1] = 0xEF;
    out.insert(out.end(), h.begin(), h.end());
    // Statements.
    Bytes s = {0xFD, 0xA1, 0, 0, static_cast<std::uint8_t>(desc.astrStatements.size())};
    for (const auto& t : desc.astrStatements) {
        s.push_back(static_cast<std::uint8_t>(t.size()));
        s.insert(s.end(), t.begin(), t.end());
    }
    s.push_back(0xEF);
    s[2] = static_cast<std::uint8_t>(s.size() >> 8);
    s[3] = static_cast<std::uint8_t>(s.size() & 0xFF);
    out.insert(out.end(), s.begin(), s.end());
    // Measurements.
    Bytes m(512, 0);
    m[0] = 0xFD;
    m[1] = 0xA2;
    m[2] = 0x02;
    m[3] = 0x00;
    m[4] = 1;
    m[5] = 2;
    m[6] = 1;
    m[7] = 1;
    for (int g = 0; g < 8; ++g) {
        m[8 + 2 * g] = static_cast<std::uint8_t>(Global(g) >> 8);
        m[9 + 2 * g] = static_cast<std::uint8_t>(Global(g) & 0xFF);
    }
    for (int k = 0; k < 5; ++k) {
        const int nAt = 24 + 81 * k;
        m[nAt] = 48;
        for (int j = 0; j < 24; ++j) {
            m[nAt + 1 + 2 * j] = static_cast<std::uint8_t>(Measure(k, j) >> 8);
            m[nAt + 2 + 2 * j] = static_cast<std::uint8_t>(Measure(k, j) & 0xFF);
        }
    }
    m[429] = static_cast<std::uint8_t>(desc.anPace.size() * 2);
    for (std::size_t i = 0; i < desc.anPace.size() && i < 40; ++i) {
        m[430 + 2 * i] = static_cast<std::uint8_t>(desc.anPace[i] >> 8);
        m[431 + 2 * i] = static_cast<std::uint8_t>(desc.anPace[i] & 0xFF);
    }
    m[511] = 0xEF;
    out.insert(out.end(), m.begin(), m.end());
    // Samples, ten blocks a frame.
    const int nBlocks = BlockCount(desc);
    for (int b0 = 0; b0 < nBlocks; b0 += 10) {
        Put(out, {0xFD, desc.b6000 ? 0xA4 : 0xA3, 0x03, 0x25});  // 805 bytes
        for (int b = b0; b < b0 + 10; ++b) {
            if (b < nBlocks)
                PutSamples(out, b, desc.nSeed);
            else
                out.insert(out.end(), 80, 0);
        }
        out.push_back(0xEF);
    }
    Put(out, {0xFC, 0x05, 0x00, 0xEF});
    return out;
}

}  // namespace teststream
