#pragma once

// The longest time a window went without processing events, for the window
// benchmarks.

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace tallowby::bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A zero-interval timer: it fires on every turn of the event loop, so the
// longest time between two firings is the longest time the window went
// without processing events. `onTurn`, when set, runs at every firing.
class GapMeter : public QObject {
public:
    GapMeter() {
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const Clock::time_point now = Clock::now();
            if (started_ && now - last_ > longest_) {
                longest_ = now - last_;
                longestEnd_ = now;
            }
            started_ = true;
            last_ = now;
            ++turns_;
            if (onTurn) {
                onTurn(now);
            }
        });
    }
    // The first gap runs from here to the first firing.
    void start() {
        longest_ = {};
        started_ = true;
        last_ = Clock::now();
        turns_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double longestMs() const { return Ms(longest_); }
    // When the longest gap ended.
    Clock::time_point longestEnd() const { return longestEnd_; }
    long turns() const { return turns_; }

    std::function<void(Clock::time_point)> onTurn;

private:
    QTimer timer_;
    Clock::time_point last_;
    Clock::duration longest_{};
    Clock::time_point longestEnd_{};
    bool started_ = false;
    long turns_ = 0;
};

}  // namespace tallowby::bench
