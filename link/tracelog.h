#pragma once
// The line's traffic log: every byte to and from the meter with its time and direction, the
// command frames by name and how each exchange ended. The link thread writes it through a
// TracingPort wrapped round the real port; a window or the headless tool reads it. The log
// holds a bounded number of entries: when full, the oldest are dropped. Writing takes a short
// uncontended lock and never waits on the line or on a reader for longer than a copy.

#include "link/serialport.h"
#include "link/wire.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kaldor {

enum class TraceKind : std::uint8_t {
    Out,     // bytes the program wrote
    In,      // bytes the program took in
    Frame,   // the next four bytes out are the command frame named in text
    Outcome, // how an exchange ended, in text
    Note,    // the port opened or closed, in text
};

struct TraceEntry {
    qint64 micros = 0; // since the log started
    TraceKind kind = TraceKind::Out;
    QByteArray bytes; // In; Out when built by hand (the log keeps a byte written in `byte`)
    QString text;     // Frame, Outcome, Note
    std::uint8_t byte = 0;

    // The bytes of an Out or In entry.
    QByteArray data() const
    {
        return kind == TraceKind::Out && bytes.isEmpty() ? QByteArray(1, char(byte)) : bytes;
    }
};

class TraceLog {
public:
    static constexpr int kDefaultCapacity = 1 << 16;

    explicit TraceLog(int capacity = kDefaultCapacity);

    int capacity() const { return m_capacity; }
    qint64 elapsedMicros() const { return m_clock.nsecsElapsed() / 1000; }
    // The time of day the log started, from which each entry's time of day follows.
    QDateTime started() const { return m_started; }

    void recordOut(std::uint8_t byte);
    void recordIn(const QByteArray& bytes);
    void recordFrame(const char (&letters)[3]);
    void recordOutcome(const ExchangeResult& result);
    void recordNote(const QString& text);

    // Entries ever recorded; a reader compares it with the last count it saw. The next entry
    // after this call tells the news listener again.
    qint64 recorded() const;
    // Called on the writer's thread, under the log's lock, at the first entry recorded after
    // the listener was set or after the last recorded(): once a look, however many bytes
    // follow, and never while the line is quiet. It must be short (post an event); an empty
    // function ends the calls, and once this returns the old listener is not called again.
    void setNewsListener(std::function<void()> listener);
    // Entries dropped because the log was full.
    qint64 dropped() const;
    // The newest `count` entries (all when count < 0), oldest first.
    QList<TraceEntry> entries(int count = -1) const;
    void clear();

private:
    void append(TraceEntry&& entry);

    const int m_capacity;
    QElapsedTimer m_clock;
    QDateTime m_started;
    mutable std::mutex m_mutex;
    std::vector<TraceEntry> m_ring; // grows to capacity, then wraps
    std::size_t m_next = 0;         // where the next entry goes once the ring is full
    qint64 m_recorded = 0;
    std::function<void()> m_listener;
    mutable bool m_told = false; // the listener heard of entries no reader has looked at yet
};

// How an exchange ended, in a few words: "done", "timed out at stage 2", "refused at stage 1:
// the meter answered 0x15", ...
QString describeOutcome(const ExchangeResult& result);

// The log as text, one entry a line: the time of day (hh:mm:ss.mmm, from the log's start),
// the time since the start in microseconds, the direction ("->" out, "<-" in) and the bytes in
// hex and as ASCII ("-> 02 41 ...  |.A|", a byte outside the printable ASCII a dot, the ASCII
// of up to 8 bytes in one column); frames as "frame AU", outcomes as "end: ...". A first line
// says how many older entries were left out, when any were.
QByteArray formatTraceLog(const QList<TraceEntry>& entries, const QDateTime& started,
                          qint64 dropped = 0);

// Passes every call to the port it wraps and records the traffic in the log.
class TracingPort : public SerialPort {
public:
    TracingPort(std::unique_ptr<SerialPort> inner, std::shared_ptr<TraceLog> log);
    // Does not own the port.
    TracingPort(SerialPort& inner, std::shared_ptr<TraceLog> log);

    QString name() const override { return m_inner.name(); }
    PortStatus open() override;
    void close() override;
    bool isOpen() const override { return m_inner.isOpen(); }
    int bytesWaiting() override { return m_inner.bytesWaiting(); }
    QByteArray readAll() override;
    bool writeByte(std::uint8_t byte) override;
    bool waitForData(int msecs) override { return m_inner.waitForData(msecs); }
    PortStatus lastError() const override { return m_inner.lastError(); }
    void commandFollows(const char (&letters)[3]) override;

private:
    std::unique_ptr<SerialPort> m_owned;
    SerialPort& m_inner;
    std::shared_ptr<TraceLog> m_log;
};

} // namespace kaldor
