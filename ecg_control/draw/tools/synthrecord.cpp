#include "synthrecord.h"

#include <cmath>

namespace {

double Wave(double t, double dCentre, double dWidth, double dAmp) {
    const double d = (t - dCentre) / dWidth;
    return dAmp * std::exp(-0.5 * d * d);
}

// Millivolts of one beat at time t (ms from the R peak) for a lead's P, R, S and T scales.
double Beat(double t, double p, double r, double s, double tw) {
    return Wave(t, -160, 20, 0.15 * p) + Wave(t, -30, 8, -0.08 * r) + Wave(t, 0, 10, 1.0 * r) +
           Wave(t, 28, 10, -0.3 * s) + Wave(t, 260, 45, 0.3 * tw);
}

struct CLeadShape {
    double p, r, s, t;
};
const CLeadShape kShapes[12] = {
    {0.6, 0.7, 0.3, 0.6}, {1.0, 1.2, 0.4, 0.9}, {0.4, 0.5, 0.3, 0.3},  {-0.8, -0.9, -0.2, -0.7},
    {0.2, 0.3, 0.4, 0.2}, {0.7, 0.8, 0.3, 0.6}, {0.3, 0.3, 2.8, -0.2}, {0.4, 0.7, 2.5, 0.8},
    {0.5, 1.1, 1.8, 1.0}, {0.6, 1.6, 1.0, 1.1}, {0.6, 1.5, 0.5, 0.9},  {0.6, 1.2, 0.3, 0.7},
};

}  // namespace

void FillLeads(CWaveBuffer& wave, int nSamples, short nValue) {
    wave.CreateLeads(static_cast<UINT>(nSamples), 2);
    wave.SetUserValue(nSamples == 6000 ? 1 : 0);
    for (int c = 0; c < 12; ++c) {
        for (int k = 0; k < nSamples; ++k) {
            wave.SetSample(c, static_cast<UINT>(k), nValue);
        }
    }
}

void FillSaturated(CWaveBuffer& wave, int nSamples) {
    FillLeads(wave, nSamples, 0);
    for (int c = 0; c < 12; ++c) {
        for (int k = 0; k < nSamples; ++k) {
            wave.SetSample(c, static_cast<UINT>(k), k % 2 == 0 ? 32767 : -32768);
        }
    }
}

void MakeSynthRecord(CSynthRecord& rec, int nSamples, bool bPacemaker) {
    rec.wave.CreateLeads(static_cast<UINT>(nSamples), 2);
    rec.wave.SetUserValue(nSamples == 6000 ? 1 : 0);
    for (int c = 0; c < 12; ++c) {
        const CLeadShape& shape = kShapes[c];
        for (int k = 0; k < nSamples; ++k) {
            // Nearest beat centre.
            int nBeat = (k - kSynthFirstBeat + kSynthBeatPitch / 2) / kSynthBeatPitch;
            if (k < kSynthFirstBeat - kSynthBeatPitch / 2) {
                nBeat = -1;
            }
            const int nCentre = kSynthFirstBeat + nBeat * kSynthBeatPitch;
            const double t = (k - nCentre) * 2.0;  // ms
            // A slow baseline wander keeps the traces from looking drawn with a ruler.
            const double dMv =
                Beat(t, shape.p, shape.r, shape.s, shape.t) + 0.03 * std::sin(k * 0.004 + c);
            rec.wave.SetSample(c, static_cast<UINT>(k),
                               static_cast<short>(std::lround(dMv * 409.5)));
        }
    }
    if (bPacemaker) {
        for (int k = kSynthFirstBeat - 80; k < nSamples; k += kSynthBeatPitch) {
            rec.wave.AddMark(static_cast<DWORD>(k));
        }
    }

    CEkgRecordInfo& info = rec.info;
    info.Reset();
    info.SetPatientInfo(0, "P-000123");
    info.SetPatientInfo(1, "Maria");
    info.SetPatientInfo(8, "Silva");
    info.SetPatientInfo(2, "54");
    info.SetPatientInfo(9, "0");
    info.SetPatientInfo(3, "F");
    info.SetPatientInfo(4, "165");
    info.SetPatientInfo(5, "62");
    info.SetMisc(1, "Clinica Central");
    info.SetMisc(0, "Dr. Costa");
    info.SetTime(2026, 12, 9, 10, 30);
    info.SetFilterInfo(1, 2, 1, 0);
    const short anGlobals[8] = {75, 160, 92, 384, 429, 52, 48, 41};
    for (int i = 0; i < 8; ++i) {
        info.SetGlobalValue(i, anGlobals[i]);
    }
    info.AddStatement("Sinus rhythm");
    info.AddStatement("Normal ECG\r\n");
    info.SetComment(
        "Routine check before surgery. No complaints; compare with the record of last "
        "year when it arrives.");

    const int nBeats = (nSamples - kSynthFirstBeat) / kSynthBeatPitch + 1;
    const int anOffsets[5] = {-100, -25, 30, 100, 170};
    for (int nId = 0; nId < 5; ++nId) {
        info.m_arrays.Make(nId, nBeats);
        for (int b = 1; b <= nBeats; ++b) {
            const int nCentre = kSynthFirstBeat + (b - 1) * kSynthBeatPitch;
            info.m_arrays.Set(nId, b, static_cast<short>(nCentre + anOffsets[nId]));
        }
    }

    rec.morph.Create();
    for (int i = 0; i < 12; ++i) {
        rec.morph.SetValue(i, 0, kSynthRepBeat);
        rec.morph.SetValue(i, 1, kSynthRepFirst);
        rec.morph.SetValue(i, 2, kSynthRepLast);
        for (int k = 0; k < 15; ++k) {
            rec.morph.SetValue(i, 3 + k, static_cast<short>(10 * i + k));
        }
    }
}

void MakeRulerRecord(CSynthRecord& rec, int nSamples) {
    const short nLevel = -102;  // -0.25 mV
    FillLeads(rec.wave, nSamples, nLevel);
    for (int c = 0; c < 12; ++c) {
        for (int k = kRulerFirstSpike; k + 1 < nSamples; k += kRulerSpikePitch) {
            rec.wave.SetSample(c, static_cast<UINT>(k - 1), nLevel + 205);
            rec.wave.SetSample(c, static_cast<UINT>(k), nLevel + 410);  // 1 mV higher
            rec.wave.SetSample(c, static_cast<UINT>(k + 1), nLevel + 205);
        }
    }
    rec.info.Reset();
    rec.info.SetPatientInfo(0, "RULER-1");
    rec.info.SetPatientInfo(1, "Ruler");
    rec.info.SetTime(2026, 12, 9, 10, 30);
    rec.morph.Create();
    for (int i = 0; i < 12; ++i) {
        rec.morph.SetValue(i, 0, 1);
        rec.morph.SetValue(i, 1, kRulerRepFirst);
        rec.morph.SetValue(i, 2, kRulerRepLast);
    }
}
