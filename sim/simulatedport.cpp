#include "sim/simulatedport.h"

#include <thread>

namespace kaldor {

SimulatedPort::SimulatedPort(std::shared_ptr<SimulatedMeter> meter, MeterTiming timing,
                             QString name)
    : m_meter(std::move(meter)), m_timing(timing), m_name(std::move(name))
{
}

PortStatus SimulatedPort::open()
{
    if (m_open)
        return m_error = {PortError::AlreadyOpen,
                          QStringLiteral("The serial port %1 is already open.").arg(m_name)};
    if (m_held)
        return m_error = {
                   PortError::HeldByOther,
                   QStringLiteral("The serial port %1 is held by another program.").arg(m_name)};
    m_open = true;
    m_pending.clear();
    m_input.clear();
    return m_error = {};
}

bool SimulatedPort::checkLine()
{
    if (m_open && m_meter->lineClosed()) {
        m_open = false;
        m_error = {PortError::LineDead, QStringLiteral("The line on %1 was closed.").arg(m_name)};
    }
    return m_open;
}

void SimulatedPort::takeArrived()
{
    const auto now = Clock::now();
    while (!m_pending.empty() && m_pending.front().first <= now) {
        m_input.append(char(m_pending.front().second));
        m_pending.pop_front();
    }
}

int SimulatedPort::bytesWaiting()
{
    if (!checkLine()) return 0;
    takeArrived();
    return int(m_input.size());
}

QByteArray SimulatedPort::readAll()
{
    if (!checkLine()) return {};
    takeArrived();
    QByteArray bytes;
    if (m_readChunk > 0 && m_input.size() > m_readChunk) {
        bytes = m_input.left(m_readChunk);
        m_input.remove(0, m_readChunk);
        return bytes;
    }
    bytes.swap(m_input);
    return bytes;
}

bool SimulatedPort::writeByte(std::uint8_t byte)
{
    if (!checkLine()) {
        if (m_error.ok())
            m_error = {PortError::NotOpen,
                       QStringLiteral("The serial port %1 is not open.").arg(m_name)};
        return false;
    }
    m_trace.append({true, byte});
    auto at = Clock::now();
    if (m_timing.paced) {
        // The byte is on the wire after the ones before it; the reply follows its last bit.
        at = std::max(at, m_wireFree) + line::kByteTime;
        m_wireFree = at;
    }
    const QByteArray reply = m_meter->receive(byte, at);
    if (m_timing.paced) {
        at += m_timing.latency;
        if (!m_pending.empty()) at = std::max(at, m_pending.back().first);
    }
    for (const char c : reply) {
        if (m_timing.paced) at += line::kByteTime;
        m_pending.emplace_back(at, std::uint8_t(c));
        m_trace.append({false, std::uint8_t(c)});
    }
    if (!reply.isEmpty()) m_meter->answerSent(at);
    checkLine(); // the byte was written even when the line closes right after it
    return true;
}

bool SimulatedPort::waitForData(int msecs)
{
    if (!checkLine()) return false;
    takeArrived();
    if (!m_input.isEmpty()) return true;
    const auto deadline = Clock::now() + std::chrono::milliseconds(msecs);
    const auto until = m_pending.empty() ? deadline : std::min(deadline, m_pending.front().first);
    std::this_thread::sleep_until(until);
    takeArrived();
    return !m_input.isEmpty();
}

QByteArray SimulatedPort::sentBytes() const
{
    QByteArray b;
    for (const TraceByte& t : m_trace)
        if (t.fromProgram) b.append(char(t.byte));
    return b;
}

QByteArray SimulatedPort::receivedBytes() const
{
    QByteArray b;
    for (const TraceByte& t : m_trace)
        if (!t.fromProgram) b.append(char(t.byte));
    return b;
}

} // namespace kaldor
