#pragma once

// Whether the processor running the tests has AVX2, asked of the processor
// itself rather than of the engine's own choice of steps: tests run the
// engine's 32-byte steps wherever this holds, and only there.

namespace tallowby::testing {

inline bool ProcessorHasAvx2() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

}  // namespace tallowby::testing
