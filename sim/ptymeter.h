#pragma once
// The simulated meter on a pseudo-terminal: the program opens the slave side as it would a
// serial port. Instant, or paced like a real line at 19200 baud.

#include "sim/meterline.h"

#include <QString>
#include <atomic>
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
    void recordTurnarounds(bool on) { m_line.recordTurnarounds(on); }
    const std::vector<double>& turnarounds() const { return m_line.turnarounds(); }

private:
    SimulatedMeter& m_meter;
    MeterLine m_line;
    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up between clients
    QString m_slavePath;
};

} // namespace kaldor
