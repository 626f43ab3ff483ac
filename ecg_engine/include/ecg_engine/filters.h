#pragma once
// Signal conditioning of the independent leads: baseline wander, mains hum, high-frequency
// and muscle noise. Each filter works in place on one row and returns 0.
#include <cstdint>

#include "ecg_engine/engine_data.h"

namespace ecg_engine {

// Truncates toward zero and limits to the 16-bit range, so an overshoot stays an overshoot
// instead of wrapping into a spike of the other sign.
std::int16_t ToSample(double dValue);
std::int16_t ToSample(std::int64_t nValue);

// Set A (mode 0). pEstimate receives the baseline estimate and has room for N + 1 values.
int RemoveBaselineMode0(std::int16_t* x, int N, std::int16_t* pEstimate);
int FilterAcHumMode0(std::int16_t* x, int N, int nAC);
int FilterLowPassMode0(std::int16_t* x, int N, int nLPF);

// Set B (mode 1). nBF of 1 switches the second baseline step on.
int RemoveBaselineMode1(std::int16_t* x, int N, int nBF, std::int16_t* pEstimate);
int FilterAcHumMode1(std::int16_t* x, int N, int nAC);
int FilterLowPassMode1(std::int16_t* x, int N, int nLPF);

// Both sets.
int FilterMuscle(std::int16_t* x, int N);

// The older build's hum canceller.
int FilterAcHumZorvik21(std::int16_t* x, int N, int nAC);

}  // namespace ecg_engine
