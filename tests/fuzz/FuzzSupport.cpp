#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

namespace tallowby::fuzz {

namespace {
FailureHook failureHook = nullptr;
}

void SetFailureHook(FailureHook hook) {
    failureHook = hook;
}

void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, condition);
    if (failureHook) {
        failureHook();
    }
    std::fflush(stderr);
    std::abort();
}

}  // namespace tallowby::fuzz
