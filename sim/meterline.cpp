#include "sim/meterline.h"

#include <algorithm>
#include <thread>

namespace kaldor {

namespace {
// Sleeps to just short of the deadline and spins the rest: a plain sleep_until overshoots by
// tens of microseconds, a tenth of a byte time, at every byte.
void sleepUntil(std::chrono::steady_clock::time_point deadline)
{
    constexpr auto kSpin = std::chrono::microseconds(80);
    const auto now = std::chrono::steady_clock::now();
    if (deadline - now > kSpin) std::this_thread::sleep_until(deadline - kSpin);
    while (std::chrono::steady_clock::now() < deadline) {
    }
}
} // namespace

void MeterLine::answer(std::uint8_t byte, Clock::time_point arrived, const WriteByte& write)
{
    if (m_replied && m_recordTurnarounds)
        m_turnarounds.push_back(
            std::chrono::duration<double, std::micro>(arrived - m_lastReplyEnd).count());
    m_replied = false;
    Clock::time_point at = arrived;
    if (m_timing.paced) {
        // The program's byte is on the wire for a byte time from when the line is free; it
        // is in the meter at the end of it, and the reply starts the latency later.
        at = std::max(arrived, m_rxFree) + line::kByteTime;
        m_rxFree = at;
    }
    const QByteArray reply = m_meter.receive(byte, at);
    if (m_timing.paced) at += m_timing.latency;
    for (const char c : reply) {
        if (m_timing.paced) {
            // Each reply byte reaches the program a byte time after it starts out.
            at = std::max(at, m_txFree) + line::kByteTime;
            sleepUntil(at);
            m_txFree = at;
        }
        if (!write(c)) break;
    }
    if (!reply.isEmpty()) {
        m_replied = true;
        m_lastReplyEnd = Clock::now();
        m_meter.answerSent(m_lastReplyEnd);
    }
}

} // namespace kaldor
