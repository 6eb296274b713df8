#include "link/tracelog.h"

#include <algorithm>

namespace kaldor {

TraceLog::TraceLog(int capacity)
    : m_capacity(std::max(1, capacity)), m_started(QDateTime::currentDateTime())
{
    m_clock.start();
}

void TraceLog::append(TraceEntry&& entry)
{
    const std::lock_guard lock(m_mutex);
    if (m_ring.size() < std::size_t(m_capacity)) {
        m_ring.push_back(std::move(entry));
    } else {
        m_ring[m_next] = std::move(entry);
        m_next = (m_next + 1) % m_ring.size();
    }
    ++m_recorded;
    if (m_listener && !m_told) {
        m_told = true;
        m_listener();
    }
}

void TraceLog::recordOut(std::uint8_t byte)
{
    // No allocation for the byte written: a write sends 25000 of them.
    append({elapsedMicros(), TraceKind::Out, {}, {}, byte});
}

void TraceLog::recordIn(const QByteArray& bytes)
{
    // A copy of just these bytes: the port's buffer may be far larger than what it holds, and
    // keeping it would hold memory the next read could have used again.
    if (!bytes.isEmpty())
        append({elapsedMicros(), TraceKind::In, QByteArray(bytes.constData(), bytes.size()), {}});
}

void TraceLog::recordFrame(const char (&letters)[3])
{
    append({elapsedMicros(), TraceKind::Frame, {}, QString::fromLatin1(letters, 2)});
}

void TraceLog::recordOutcome(const ExchangeResult& result)
{
    append({elapsedMicros(), TraceKind::Outcome, {}, describeOutcome(result)});
}

void TraceLog::recordNote(const QString& text)
{
    append({elapsedMicros(), TraceKind::Note, {}, text});
}

qint64 TraceLog::recorded() const
{
    const std::lock_guard lock(m_mutex);
    m_told = false;
    return m_recorded;
}

void TraceLog::setNewsListener(std::function<void()> listener)
{
    const std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
    m_told = false;
}

qint64 TraceLog::dropped() const
{
    const std::lock_guard lock(m_mutex);
    return m_recorded - qint64(m_ring.size());
}

QList<TraceEntry> TraceLog::entries(int count) const
{
    const std::lock_guard lock(m_mutex);
    const int held = int(m_ring.size());
    const int n = count < 0 ? held : std::min(count, held);
    QList<TraceEntry> out;
    out.reserve(n);
    // The oldest entry sits at m_next once the ring has wrapped, at 0 before.
    for (int i = held - n; i < held; ++i)
        out.append(m_ring[(m_next + std::size_t(i)) % std::size_t(held)]);
    return out;
}

void TraceLog::clear()
{
    const std::lock_guard lock(m_mutex);
    m_ring.clear();
    m_next = 0;
    m_recorded = 0;
    m_told = false;
}

QString describeOutcome(const ExchangeResult& r)
{
    const QString detail = r.detail.isEmpty() ? QString() : QStringLiteral(": ") + r.detail;
    switch (r.outcome) {
    case Outcome::Done:
        return QStringLiteral("done");
    case Outcome::TimedOut:
        return QStringLiteral("timed out at stage %1").arg(r.stage) + detail;
    case Outcome::Refused:
        return QStringLiteral("refused at stage %1").arg(r.stage) + detail;
    case Outcome::LineFailed:
        return QStringLiteral("line failed at stage %1").arg(r.stage) + detail;
    case Outcome::Cancelled:
        return QStringLiteral("stopped at stage %1").arg(r.stage) + detail;
    case Outcome::Failed:
        return QStringLiteral("failed, error %1").arg(r.errorNumber) + detail;
    }
    return {};
}

namespace {

// A block of the image is 8 bytes: the ASCII of up to 8 bytes starts in one column.
constexpr int kHexWidth = 8 * 3 - 1;

// The bytes in hex, then between bars as ASCII, each byte outside 0x20 .. 0x7E a dot.
QByteArray hexAndAscii(const QByteArray& bytes)
{
    QByteArray ascii = bytes;
    for (char& c : ascii) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code > 0x7e) c = '.';
    }
    return bytes.toHex(' ').toUpper().leftJustified(kHexWidth, ' ') + "  |" + ascii + '|';
}

} // namespace

QByteArray formatTraceLog(const QList<TraceEntry>& entries, const QDateTime& started,
                          qint64 dropped)
{
    QByteArray text;
    if (dropped > 0) text += "(" + QByteArray::number(dropped) + " older entries left out)\n";
    for (const TraceEntry& e : entries) {
        const QDateTime at = started.addMSecs(e.micros / 1000);
        text += at.toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1() + "  ";
        text += QByteArray::number(e.micros).rightJustified(12, ' ') + " us  ";
        switch (e.kind) {
        case TraceKind::Out:
            text += "-> " + hexAndAscii(e.data());
            break;
        case TraceKind::In:
            text += "<- " + hexAndAscii(e.bytes);
            break;
        case TraceKind::Frame:
            text += "frame " + e.text.toUtf8();
            break;
        case TraceKind::Outcome:
            text += "end: " + e.text.toUtf8();
            break;
        case TraceKind::Note:
            text += "-- " + e.text.toUtf8();
            break;
        }
        text += '\n';
    }
    return text;
}

TracingPort::TracingPort(std::unique_ptr<SerialPort> inner, std::shared_ptr<TraceLog> log)
    : m_owned(std::move(inner)), m_inner(*m_owned), m_log(std::move(log))
{
}

TracingPort::TracingPort(SerialPort& inner, std::shared_ptr<TraceLog> log)
    : m_inner(inner), m_log(std::move(log))
{
}

PortStatus TracingPort::open()
{
    const PortStatus status = m_inner.open();
    m_log->recordNote(status.ok()
                          ? QStringLiteral("opened %1").arg(m_inner.name())
                          : QStringLiteral("%1 did not open: %2").arg(m_inner.name(), status.text));
    return status;
}

void TracingPort::close()
{
    if (m_inner.isOpen()) m_log->recordNote(QStringLiteral("closed %1").arg(m_inner.name()));
    m_inner.close();
}

QByteArray TracingPort::readAll()
{
    QByteArray bytes = m_inner.readAll();
    m_log->recordIn(bytes);
    return bytes;
}

bool TracingPort::writeByte(std::uint8_t byte)
{
    const bool ok = m_inner.writeByte(byte);
    if (ok) m_log->recordOut(byte);
    return ok;
}

void TracingPort::commandFollows(const char (&letters)[3])
{
    m_log->recordFrame(letters);
    m_inner.commandFollows(letters);
}

} // namespace kaldor
