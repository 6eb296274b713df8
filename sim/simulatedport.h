#pragma once
// A SerialPort wired in-process to a SimulatedMeter, instant or paced like a real line
// (10 bit times a byte at 19200 baud, and a reply latency). It records the bytes both ways.

#include "link/serialport.h"
#include "sim/simulatedmeter.h"

#include <chrono>
#include <deque>
#include <memory>

namespace kaldor {

namespace line {
constexpr int kBitsPerByte = 10; // start, 8 data, stop
constexpr std::chrono::nanoseconds kByteTime{1'000'000'000LL * kBitsPerByte / kBaud};
} // namespace line

struct MeterTiming {
    bool paced = false;
    std::chrono::microseconds latency{0}; // from the last byte in to the first byte of the reply
};

struct TraceByte {
    bool fromProgram = true;
    std::uint8_t byte = 0;
    friend bool operator==(const TraceByte&, const TraceByte&) = default;
};

class SimulatedPort : public SerialPort {
public:
    SimulatedPort(std::shared_ptr<SimulatedMeter> meter, MeterTiming timing = {},
                  QString name = QStringLiteral("simulated meter"));

    QString name() const override { return m_name; }
    PortStatus open() override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    int bytesWaiting() override;
    QByteArray readAll() override;
    bool writeByte(std::uint8_t byte) override;
    bool waitForData(int msecs) override;
    PortStatus lastError() const override { return m_error; }

    SimulatedMeter& meter() { return *m_meter; }
    const QList<TraceByte>& trace() const { return m_trace; }
    QByteArray sentBytes() const;     // program to meter
    QByteArray receivedBytes() const; // meter to program
    void clearTrace() { m_trace.clear(); }
    // Makes the next open() fail as a port held by another program would.
    void setHeldByOther(bool held) { m_held = held; }
    // readAll() hands over at most this many bytes a call, however many wait (0: all), as a
    // driver may.
    void setReadChunk(int bytes) { m_readChunk = bytes; }

private:
    using Clock = std::chrono::steady_clock;
    void takeArrived();
    bool checkLine();

    std::shared_ptr<SimulatedMeter> m_meter;
    MeterTiming m_timing;
    QString m_name;
    bool m_open = false;
    bool m_held = false;
    int m_readChunk = 0;
    PortStatus m_error;
    std::deque<std::pair<Clock::time_point, std::uint8_t>> m_pending;
    QByteArray m_input;
    Clock::time_point m_wireFree{};
    QList<TraceByte> m_trace;
};

} // namespace kaldor
