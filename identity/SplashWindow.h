#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

class QTimer;

namespace tallowby {

// The start-up window: a picture for 75 ticks of a 2 ms timer, then it loads
// the main window (through `loadMainWindow`, which also shows it) and hides
// itself. It stays alive, hidden, for the rest of the run.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(std::function<void()> loadMainWindow, QWidget* parent = nullptr);

    QTimer* Timer2() const { return timer2_; }
    std::int16_t intTemp() const { return intTemp_; }

public slots:
    // One tick: intTemp grows by 2; at 150 the timer stops, the main window
    // is loaded and shown, and the splash hides.
    void Timer2_Timer();

private:
    std::function<void()> loadMainWindow_;
    QTimer* timer2_ = nullptr;
    std::int16_t intTemp_ = 0;
};

}  // namespace tallowby
