// The host's clock: application time that can be stopped, stepped and resumed without jumps.
#pragma once

#include <functional>

namespace lnd {

enum class TimerCommand {
    Reset = 0,
    Start = 1,
    Stop = 2,
    Advance = 3,
    AbsoluteTime = 4,
    ApplicationTime = 5,
    ElapsedTime = 6,
};

class HostTimer {
public:
    // Seconds from any fixed origin; a steady high-resolution clock unless a test gives one.
    using Clock = std::function<double()>;

    HostTimer();
    explicit HostTimer(Clock clock);

    // Reset, start, stop and advance return 0; the queries return seconds. While stopped,
    // every query sees the moment of stopping; advance moves that moment on by 0.1 s.
    double operator()(TimerCommand command);

    bool stopped() const { return m_stopped; }

private:
    Clock m_clock;
    bool m_stopped = false;
    double m_baseTime = 0.0;
    double m_stopTime = 0.0;
    double m_lastElapsedTime = 0.0;
};

}  // namespace lnd
