#include "d3dframework/host/host_timer.h"

#include <chrono>

namespace lnd {

namespace {

double steadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

HostTimer::HostTimer() : HostTimer(Clock(steadySeconds)) {}

HostTimer::HostTimer(Clock clock) : m_clock(std::move(clock)) {
    m_baseTime = m_clock();
    m_lastElapsedTime = m_baseTime;
}

double HostTimer::operator()(TimerCommand command) {
    const double now = m_stopped ? m_stopTime : m_clock();
    switch (command) {
    case TimerCommand::Reset:
        m_baseTime = now;
        m_lastElapsedTime = now;
        m_stopTime = 0.0;
        m_stopped = false;
        return 0.0;
    case TimerCommand::Start:
        if (m_stopped) {
            // Shift the base so the stopped interval does not count as application time.
            const double resumed = m_clock();
            m_baseTime += resumed - m_stopTime;
            m_lastElapsedTime = resumed;
        }
        m_stopTime = 0.0;
        m_stopped = false;
        return 0.0;
    case TimerCommand::Stop:
        if (!m_stopped) {
            m_stopTime = now;
            m_lastElapsedTime = now;
            m_stopped = true;
        }
        return 0.0;
    case TimerCommand::Advance:
        m_stopTime += 0.1;
        return 0.0;
    case TimerCommand::AbsoluteTime:
        return now;
    case TimerCommand::ApplicationTime:
        return now - m_baseTime;
    case TimerCommand::ElapsedTime: {
        const double elapsed = now - m_lastElapsedTime;
        m_lastElapsedTime = now;
        return elapsed;
    }
    }
    return -1.0;
}

}  // namespace lnd
