#pragma once
// The simulated meter on a pseudo-terminal: the program opens the slave side as it would a
// serial port. Instant, or paced like a real line at 19200 baud.

#include "sim/simulatedmeter.h"
#include "sim/simulatedport.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

namespace kaldor {

class PtyMeter {
public:
    PtyMeter(SimulatedMeter& meter, MeterTiming timing = {});
    ~PtyMeter();
    PtyMeter(const PtyMeter&) = delete;
    PtyMeter& operator=(const PtyMeter&) = delete;

    // Opens the pseudo-terminal in raw mode; false with *error set when it cannot.
    bool open(QString* error);
    QString slavePath() const { return m_slavePath; }

    // Serves the line until stop is set (looked at every few milliseconds). A CloseLine fault
    // closes the line; serving then only waits for stop. `between`, when given, runs on the
    // serving thread at the same pace, never while a byte is being answered.
    void serve(const std::atomic_bool& stop, const std::function<void()>& between = {});
    void closeLine();

    // Times from the last byte of a reply written to the next byte read, in microseconds; kept
    // only when asked for, so that a meter serving for hours does not grow.
    void recordTurnarounds(bool on) { m_recordTurnarounds = on; }
    const std::vector<double>& turnarounds() const { return m_turnarounds; }

private:
    using Clock = std::chrono::steady_clock;
    void answer(std::uint8_t byte, Clock::time_point arrived);

    SimulatedMeter& m_meter;
    MeterTiming m_timing;
    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up between clients
    QString m_slavePath;
    Clock::time_point m_rxFree{};
    Clock::time_point m_txFree{};
    Clock::time_point m_lastReplyEnd{};
    bool m_replied = false;
    bool m_recordTurnarounds = false;
    std::vector<double> m_turnarounds;
};

} // namespace kaldor
