// Tells which steps the engine chooses on the processor it runs on, for the
// tests that run the scanner on an emulated processor: whether the processor
// says it has AVX2, and whether the line masks take their 32-byte steps.

#include <cstdio>

#include "ProcessorSteps.h"
#include "engine/match/LineMasks.h"

int main() {
    std::printf("avx2 %d\nwide line masks %d\n", tallowby::testing::ProcessorHasAvx2() ? 1 : 0,
                tallowby::LineMasks::WideAvailable() ? 1 : 0);
    return 0;
}
