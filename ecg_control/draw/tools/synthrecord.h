#pragma once
// A made-up 12-lead record (beats every 0.8 s at 500 samples per second, 409.5 counts per
// millivolt) with patient data, measurements, statements and representative beats, for
// tests, benchmarks and the page tool.
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"

struct CSynthRecord {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    CEkgDeviceInfo device;
};

// Beat centres (R peaks) lie at 200 + 400 k.
constexpr int kSynthFirstBeat = 200;
constexpr int kSynthBeatPitch = 400;
// Representative beat of every lead (1-based) and its first and last sample.
constexpr int kSynthRepBeat = 3;
constexpr int kSynthRepFirst = kSynthFirstBeat + 2 * kSynthBeatPitch - 150;
constexpr int kSynthRepLast = kSynthFirstBeat + 2 * kSynthBeatPitch + 200;

// nSamples 5000 (50 Hz mode) or 6000 (60 Hz mode, user value 1).
void MakeSynthRecord(CSynthRecord& rec, int nSamples = 5000, bool bPacemaker = false);
// Every sample of every lead set to nValue.
void FillLeads(CWaveBuffer& wave, int nSamples, short nValue);
// Every lead swinging between the 16-bit extremes from sample to sample (a saturated cart).
void FillSaturated(CWaveBuffer& wave, int nSamples);

// A record to measure paper with: every lead flat at -0.25 mV (so that at 10 mm/mV its trace
// runs between grid lines, not over one) with a spike 1 mV higher (three samples) at 0.5 s
// and every second after it (samples kRulerFirstSpike + 500 k): on paper at 25 mm/s each
// spike stands 10 mm high and 25 mm from the next. Every lead's representative beat spans
// samples kRulerRepFirst to kRulerRepLast (three spikes).
constexpr int kRulerFirstSpike = 250;
constexpr int kRulerSpikePitch = 500;
constexpr int kRulerRepFirst = 1100;
constexpr int kRulerRepLast = 2400;
void MakeRulerRecord(CSynthRecord& rec, int nSamples = 5000);
