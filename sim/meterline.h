#pragma once
// The simulated meter's end of a line, whatever carries it (a pseudo-terminal, a network
// connection): each byte from the program is answered as the meter would, instant or paced
// like a real line at 19200 baud with the meter's latency before each reply.

#include "sim/simulatedmeter.h"
#include "sim/simulatedport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace kaldor {

class MeterLine {
public:
    using Clock = std::chrono::steady_clock;
    // Puts one byte of the reply on the carrier; false when it cannot (the far end gone).
    using WriteByte = std::function<bool(char)>;

    MeterLine(SimulatedMeter& meter, MeterTiming timing) : m_meter(meter), m_timing(timing) {}

    // Answers one byte that arrived at `arrived`, writing the reply byte by byte, each at its
    // time on a paced line. The caller closes its carrier when the meter's line has closed
    // (SimulatedMeter::lineClosed).
    void answer(std::uint8_t byte, Clock::time_point arrived, const WriteByte& write);

    // Times from the last byte of a reply written to the next byte read, in microseconds; kept
    // only when asked for, so that a meter serving for hours does not grow.
    void recordTurnarounds(bool on) { m_recordTurnarounds = on; }
    const std::vector<double>& turnarounds() const { return m_turnarounds; }

private:
    SimulatedMeter& m_meter;
    MeterTiming m_timing;
    Clock::time_point m_rxFree{};
    Clock::time_point m_txFree{};
    Clock::time_point m_lastReplyEnd{};
    bool m_replied = false;
    bool m_recordTurnarounds = false;
    std::vector<double> m_turnarounds;
};

} // namespace kaldor
