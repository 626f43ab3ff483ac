#include "ecg_engine/filters.h"

#include <cmath>
#include <limits>
#include <vector>

#include "ecg_engine/engine.h"
#include "ecg_engine/stages.h"

namespace ecg_engine {

namespace {

// Hum notch of set A: b0..b3 (b6 = b0, b5 = b1, b4 = b2), then a1..a6.
const float kHumIirA[2][10] = {{0.909091f, -4.398812f, 9.821635f, -12.611275f, 4.534669f,
                                -9.488805f, 11.418373f, -8.333867f, 3.497967f, -0.677493f},
                               {0.909091f, -3.960032f, 8.476647f, -10.702162f, 4.082337f,
                                -8.189395f, 9.689844f, -7.192616f, 3.149046f, -0.677493f}};

// Low-pass kernels, first half up to and including the centre tap.
const int kLowPassA[3][21] = {
    {0,     189,   427,  647,  762,  685,  358,   -216,  -962,  -1726, -2288,
     -2412, -1892, -604, 1451, 4123, 7127, 10083, 12579, 14249, 14835},
    {0,     -202,  -177, 239,  511, 0,     -834,  -643, 793,   1575, 0,
     -2338, -1760, 2155, 4314, 0,   -7072, -6009, 9211, 30197, 40072},
    {0,     -202, 176,  239,   -510, 0,    833,   -642,  -793,  1574, 0,
     -2335, 1759, 2153, -4311, 0,    7066, -6004, -9203, 30171, 60059}};
const int kLowPassB[3][7] = {{188, 1406, 4050, 7948, 12259, 15667, 16966},
                             {1344, 0, -4003, -4402, 8026, 29089, 39892},
                             {-1365, 0, 4065, -4470, -8150, 29539, 60763}};

const int kMuscleKernel[11] = {-72, 18, 88, 138, 168, 178, 168, 138, 88, 18, -72};
constexpr int kMuscleDivisor = 858;

// Hum canceller of set B: reference cosines stored to six decimals.
const float kHumRef50[10] = {1.0f,  0.809017f,  0.309017f,  -0.309017f, -0.809017f,
                             -1.0f, -0.809017f, -0.309017f, 0.309017f,  0.809017f};
const float kHumRef60[25] = {1.0f,       0.728969f,  0.062791f,  -0.637424f, -0.992115f,
                             -0.809017f, -0.187381f, 0.535827f,  0.968583f,  0.876307f,
                             0.309017f,  -0.425779f, -0.929776f, -0.929776f, -0.425779f,
                             0.309017f,  0.876307f,  0.968583f,  0.535827f,  -0.187381f,
                             -0.809017f, -0.992115f, -0.637424f, 0.062791f,  0.728969f};

struct SHumCanceller {
    int nTaps, nPeriod;
    float fAmplitude;
    int nWarmUp;
    float fStep;
    const float* pReference;
};
const SHumCanceller kHumCancellers[2] = {{6, 10, 60.0f, 2000, 3.0e-7f, kHumRef50},
                                         {6, 25, 80.0f, 1500, 3.0e-7f, kHumRef60}};

// A copy of a row (a lead's samples) after nLead zeros; on the stack for the engine's rows.
class CRowCopy {
public:
    CRowCopy(const std::int16_t* x, int N, int nLead) {
        const std::size_t nSize = static_cast<std::size_t>(N) + nLead;
        m_pData = nSize <= m_aFixed.size() ? m_aFixed.data()
                                           : (m_aLarge.resize(nSize), m_aLarge.data());
        std::fill(m_pData, m_pData + nLead, 0);
        for (int n = 0; n < N; ++n)
            m_pData[n + nLead] = x[n];
    }
    const std::int32_t* data() const { return m_pData; }
    std::int32_t operator[](int i) const { return m_pData[i]; }

private:
    std::array<std::int32_t, kInputSamples + 64> m_aFixed;
    std::vector<std::int32_t> m_aLarge;
    std::int32_t* m_pData = nullptr;
};

// Symmetric FIR over the original samples: out[n - centre] for n >= centre, then the tail
// repeats the last computed sample.
template <int Taps>
void RunSymmetricFir(std::int16_t* x, int N, const int* pHalf, double dScale) {
    constexpr int kCentre = Taps / 2;
    int aKernel[Taps];
    for (int k = 0; k <= kCentre; ++k)
        aKernel[k] = aKernel[Taps - 1 - k] = pHalf[k];
    // The original samples with Taps - 1 zeros before them (the filter starts from rest),
    // since the output overwrites the row behind the input.
    CRowCopy aIn(x, N, Taps - 1);
    for (int n = kCentre; n < N; ++n) {
        const std::int32_t* pNewest = aIn.data() + n + Taps - 1;
        std::int64_t nSum = 0;
        for (int k = 0; k < Taps; ++k)
            nSum += static_cast<std::int64_t>(aKernel[k]) * pNewest[-k];
        x[n - kCentre] = ToSample(static_cast<double>(nSum) * dScale);
    }
    if (N > kCentre) {
        for (int i = N - kCentre; i < N; ++i)
            x[i] = x[N - kCentre - 1];
    }
}

// Subtracts the truncated estimate b[from + i] as described for each baseline filter.
void SubtractEstimate(std::int16_t* x, int N, std::int16_t* e) {
    for (int i = 0; i < N; ++i)
        x[i] = ToSample(static_cast<std::int64_t>(x[i]) - e[i]);
}

}  // namespace

std::int16_t ToSample(double dValue) {
    if (std::isnan(dValue))
        return 0;
    const double t = std::trunc(dValue);
    if (t >= 32767.0)
        return 32767;
    if (t <= -32768.0)
        return -32768;
    return static_cast<std::int16_t>(t);
}

std::int16_t ToSample(std::int64_t nValue) {
    if (nValue > std::numeric_limits<std::int16_t>::max())
        return 32767;
    if (nValue < std::numeric_limits<std::int16_t>::min())
        return -32768;
    return static_cast<std::int16_t>(nValue);
}

int RemoveBaselineMode0(std::int16_t* x, int N, std::int16_t* e) {
    if (N < 452)
        return 0;
    std::vector<float> b(N);
    b[0] = static_cast<float>(x[0]);
    b[1] = static_cast<float>(1.5768e-6 * x[1] - 0.9969839 * x[0] + 1.9969823 * b[0]);
    for (int n = 2; n < N; ++n) {
        b[n] = static_cast<float>(1.5768e-6 * (x[n - 2] + x[n]) + 3.1535e-6 * x[n - 1] +
                                  1.9969823 * b[n - 1] - 0.9969886 * b[n - 2]);
    }
    // The estimate leads the signal by 449 samples (the low-pass filter's delay).
    e[0] = 0;
    for (int i = 1; i <= N - 450; ++i)
        e[i] = ToSample(static_cast<double>(b[i + 449]));
    for (int i = N - 449; i <= N; ++i)
        e[i] = ToSample(static_cast<double>(b[N - 451]));
    SubtractEstimate(x, N, e);
    return 0;
}

int RemoveBaselineMode1(std::int16_t* x, int N, int nBF, std::int16_t* e) {
    if (N <= 0)
        return 0;
    std::int64_t nSum = 0;
    for (int i = 0; i < N; ++i)
        nSum += x[i];
    const std::int64_t nMean = nSum / N;
    for (int i = 0; i < N; ++i)
        x[i] = ToSample(x[i] - nMean);
    if (nBF != 1 || N < 162)
        return 0;

    std::vector<float> b(N);
    b[0] = b[1] = 0.0f;
    for (int n = 2; n < N; ++n) {
        b[n] = static_cast<float>(4.8233696e-6 * (x[n - 2] + x[n]) + 9.646739e-6 * x[n - 1] +
                                  1.9947168 * b[n - 1] - 0.994736 * b[n - 2]);
    }
    for (int i = 0; i < 80; ++i)
        e[i] = 0;
    for (int i = 80; i <= N - 80; ++i)
        e[i] = ToSample(static_cast<double>(b[i + 79]));
    for (int i = N - 79; i <= N; ++i)
        e[i] = ToSample(static_cast<double>(b[N - 81]));
    SubtractEstimate(x, N, e);
    return 0;
}

int FilterAcHumMode0(std::int16_t* x, int N, int nAC) {
    if ((nAC != 1 && nAC != 2) || N < 20)
        return 0;
    const float* c = kHumIirA[nAC - 1];
    const double b0 = c[0], b1 = c[1], b2 = c[2], b3 = c[3];
    const double a[7] = {0, c[4], c[5], c[6], c[7], c[8], c[9]};
    // Input history (the row is overwritten behind the current sample) and output history.
    double xh[7] = {};
    float yh[10] = {};
    const int nPeriod = nAC == 1 ? 10 : 8;
    const int nDelay = nAC == 1 ? 6 : 5;
    const double dAverage = nAC == 1 ? 0.1 : 0.125;
    for (int n = 0; n < N; ++n) {
        for (int k = 6; k > 0; --k)
            xh[k] = xh[k - 1];
        xh[0] = x[n];
        double s = b0 * xh[0] + b1 * xh[1] + b2 * xh[2] + b3 * xh[3] + b2 * xh[4] + b1 * xh[5] +
                   b0 * xh[6];
        for (int k = 1; k <= 6; ++k)
            s += a[k] * yh[k - 1];
        for (int k = 9; k > 0; --k)
            yh[k] = yh[k - 1];
        yh[0] = static_cast<float>(s);
        if (n >= nPeriod) {
            double dSum = 0.0;
            for (int k = 0; k < nPeriod; ++k)
                dSum += yh[k];
            x[n - nDelay] = ToSample(dAverage * dSum);
        }
    }
    for (int i = 0; i < 10; ++i)
        x[i] = x[10];
    for (int i = N - 10; i < N; ++i)
        x[i] = x[N - 10];
    return 0;
}

int FilterAcHumMode1(std::int16_t* x, int N, int nAC) {
    if (nAC != 1 && nAC != 2)
        return 0;
    const SHumCanceller& p = kHumCancellers[nAC - 1];
    // Both cancellers have six taps: a fixed count lets the loops unroll (same arithmetic).
    constexpr int T = 6;
    if (p.nTaps != T)
        return 0;
    // Every row starts from zero weights, so no lead's result depends on the lead before it.
    float w[6] = {}, r[6] = {};
    auto Step = [&](int nIndex, int nPhase) {
        for (int j = T - 1; j > 0; --j)
            r[j] = r[j - 1];
        r[0] = p.fAmplitude * p.pReference[nPhase];
        float y = 0.0f;
        for (int j = 0; j < T; ++j)
            y += w[j] * r[j];
        const float e = static_cast<float>(x[nIndex]) - y;
        for (int j = 0; j < T; ++j)
            w[j] = w[j] + p.fStep * r[j] * e;
        return e;
    };
    // Warm-up backwards over the row's start, without writing.
    for (int k = std::min(p.nWarmUp, N - 1); k >= 1; --k)
        (void)Step(k, k % p.nPeriod);
    for (int n = 0, nPhase = 0; n < N; ++n) {
        x[n] = ToSample(static_cast<double>(Step(n, nPhase)));
        if (++nPhase == p.nPeriod)
            nPhase = 0;
    }
    return 0;
}

int FilterAcHumZorvik21(std::int16_t* x, int N, int nAC) {
    if (nAC != 1 && nAC != 2)
        return 0;
    const double dOmega = nAC == 1 ? 0.6283184 : 0.75398208;
    float w[8] = {}, r[8] = {};
    for (int n = 0; n < N; ++n) {
        for (int j = 7; j > 0; --j)
            r[j] = r[j - 1];
        r[0] = static_cast<float>(120.0 * std::sin((1000 + n) * dOmega));
        float y = 0.0f;
        for (int j = 0; j < 8; ++j)
            y += w[j] * r[j];
        const float e = static_cast<float>(x[n]) - y;
        for (int j = 0; j < 8; ++j)
            w[j] = w[j] + 3.5e-6f * e * r[j];
        x[n] = ToSample(static_cast<double>(e));
    }
    return 0;
}

int FilterLowPassMode0(std::int16_t* x, int N, int nLPF) {
    if (nLPF < 1 || nLPF > 3)
        return 0;
    RunSymmetricFir<41>(x, N, kLowPassA[nLPF - 1], 1e-5);
    return 0;
}

int FilterLowPassMode1(std::int16_t* x, int N, int nLPF) {
    if (nLPF < 1 || nLPF > 3)
        return 0;
    RunSymmetricFir<13>(x, N, kLowPassB[nLPF - 1], 1e-5);
    return 0;
}

int FilterMuscle(std::int16_t* x, int N) {
    if (N < 12)
        return 0;
    // The output overwrites the row behind the input: read from a copy.
    const CRowCopy aIn(x, N, 0);
    for (int n = 11; n < N; ++n) {
        std::int64_t nSum = 0;
        for (int k = 0; k < 11; ++k)
            nSum += static_cast<std::int64_t>(kMuscleKernel[k]) * aIn[n - k];
        x[n - 5] = ToSample(nSum / kMuscleDivisor);
    }
    for (int i = 0; i < 6; ++i)
        x[i] = x[6];
    for (int i = N - 5; i < N; ++i)
        x[i] = x[N - 6];
    return 0;
}

int RunFilterStage(CEngineData& d) {
    const SFilterSettings& s = d.FilterSettings;
    const bool bSetA = d.Variant == EEngineVariant::Zorvik31 && d.AnalysisMode == 0;
    auto ForEachRow = [&d](auto Filter) {
        for (auto& row : d.InputLeads)
            Filter(row.data(), kInputSamples);
    };
    ForEachRow([&](std::int16_t* x, int N) {
        if (bSetA) {
            RemoveBaselineMode0(x, N, d.ScratchSamples.data());
        } else {
            RemoveBaselineMode1(x, N, s.nBF, d.ScratchSamples.data());
        }
    });
    if (s.nAC != 0) {
        ForEachRow([&](std::int16_t* x, int N) {
            if (d.Variant == EEngineVariant::Zorvik21) {
                FilterAcHumZorvik21(x, N, s.nAC);
            } else if (bSetA) {
                FilterAcHumMode0(x, N, s.nAC);
            } else {
                FilterAcHumMode1(x, N, s.nAC);
            }
        });
    }
    if (s.nLPF != 0) {
        ForEachRow([&](std::int16_t* x, int N) {
            if (bSetA) {
                FilterLowPassMode0(x, N, s.nLPF);
            } else {
                FilterLowPassMode1(x, N, s.nLPF);
            }
        });
    }
    if (s.nMF == 1)
        ForEachRow([](std::int16_t* x, int N) { FilterMuscle(x, N); });
    (void)RunStep(d, 3);
    return 0;
}

}  // namespace ecg_engine
