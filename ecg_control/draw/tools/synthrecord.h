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
