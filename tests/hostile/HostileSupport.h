#pragma once

// What the hostile-input tests share besides tests/support: a scan host that
// keeps no per-line record.

#include <functional>
#include <string>
#include <vector>

#include "FaultyFileSystem.h"
#include "MemoryFileSystem.h"
#include "RecordingHost.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace tallowby::testing {

// A recording host that records no per-line events, so scans of millions
// of lines stay cheap; it keeps the last progress value and maximum.
class QuietHost : public RecordingHost {
public:
    double value = 0;
    double maximum = 0;
    bool valueAboveMaximum = false;
    std::function<void(int)> onYieldNumber;  // called with the yield's number, from 1

    void setProgressValue(const ScanProgress& p) override {
        const double v = p.value;
        value = v;
        // The 0.01 of a new file comes before its maximum, by design.
        valueAboveMaximum = valueAboveMaximum || (v > 0.02 && v > maximum + 1e-9);
    }
    void setProgressMaximum(const ScanProgress& p) override { maximum = p.maximum; }
    void yield() override {
        ++yields;
        if (onYieldNumber)
            onYieldNumber(yields);
    }
    std::vector<std::string> problems() const;
};

}  // namespace tallowby::testing
