// Runs one engine filter over a row read from standard input (whitespace-separated
// integers) and prints the filtered row, for the outside reference check.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ecg_engine/filters.h"

using namespace ecg_engine;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s base0|base1|hum0|hum1|hum21|lp0|lp1|muscle [n]\n", argv[0]);
        return 2;
    }
    const char* pszFilter = argv[1];
    const int n = argc > 2 ? std::atoi(argv[2]) : 0;
    std::vector<std::int16_t> x;
    for (int v; std::scanf("%d", &v) == 1;)
        x.push_back(static_cast<std::int16_t>(v));
    const int N = static_cast<int>(x.size());
    std::vector<std::int16_t> estimate(N + 1);
    if (!std::strcmp(pszFilter, "base0")) {
        RemoveBaselineMode0(x.data(), N, estimate.data());
    } else if (!std::strcmp(pszFilter, "base1")) {
        RemoveBaselineMode1(x.data(), N, n, estimate.data());
    } else if (!std::strcmp(pszFilter, "hum0")) {
        FilterAcHumMode0(x.data(), N, n);
    } else if (!std::strcmp(pszFilter, "hum1")) {
        FilterAcHumMode1(x.data(), N, n);
    } else if (!std::strcmp(pszFilter, "hum21")) {
        FilterAcHumZorvik21(x.data(), N, n);
    } else if (!std::strcmp(pszFilter, "lp0")) {
        FilterLowPassMode0(x.data(), N, n);
    } else if (!std::strcmp(pszFilter, "lp1")) {
        FilterLowPassMode1(x.data(), N, n);
    } else if (!std::strcmp(pszFilter, "muscle")) {
        FilterMuscle(x.data(), N);
    } else {
        std::fprintf(stderr, "unknown filter %s\n", pszFilter);
        return 2;
    }
    for (std::int16_t v : x)
        std::printf("%d\n", v);
    return 0;
}
