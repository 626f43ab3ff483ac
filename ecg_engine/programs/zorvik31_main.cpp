// Zorvik31: analyses one record file given on the command line.
#include "ecg_engine/engine.h"

int main(int argc, char** argv) {
    auto pData = ecg_engine::CreateEngineData(ecg_engine::EEngineVariant::Zorvik31);
    return ecg_engine::EngineMain(*pData, argc, argv);
}
