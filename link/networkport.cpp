#include "link/networkport.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <gensio/gensio.h>
#include <gensio/gensio_unix.h>
#include <gensio/sergensio.h>

#include <algorithm>
#include <csignal>
#include <pthread.h>

namespace kaldor {

namespace {
// Every wait for the server other than the connect: a byte handed to the connection, the
// answer to a line setting, the close.
constexpr int kServerWaitMs = 2000;
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 65535;
constexpr int kReadChunk = 4096;
// A look at what waits takes it in in rounds; a server that keeps sending is left the rest.
constexpr int kTakeInRounds = 16;

const QLatin1String kRawScheme("tcp://");
const QLatin1String kRfc2217Scheme("rfc2217://");

// gensio writes to its socket without MSG_NOSIGNAL: a write after the server has gone raises
// SIGPIPE, whose default action ends the process. While gensio runs, its thread holds SIGPIPE
// back and takes one that came, so that the write fails with EPIPE instead; the rest of the
// process keeps its own handling of the signal.
class SigpipeHeld {
public:
    SigpipeHeld()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~SigpipeHeld()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
            const timespec none{0, 0};
            sigtimedwait(&m_pipe, nullptr, &none);
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_wasPending = false;
};

gensio_time timeFor(int msecs)
{
    return {msecs / 1000, (msecs % 1000) * 1000000};
}

} // namespace

// What one asynchronous call of gensio hands back, waited for on the calling thread.
struct NetworkPort::Pending {
    gensio_os_funcs* os = nullptr;
    gensio_waiter* waiter = nullptr;
    int err = 0;
    unsigned int value = 0;
    bool done = false;

    explicit Pending(gensio_os_funcs* o) : os(o), waiter(gensio_os_funcs_alloc_waiter(o)) {}
    ~Pending()
    {
        if (waiter) gensio_os_funcs_free_waiter(os, waiter);
    }
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;

    void finish(int e, unsigned int v = 0)
    {
        err = e;
        value = v;
        done = true;
        gensio_os_funcs_wake(os, waiter);
    }
    // True when the call answered within msecs; gives up early once *lost is set.
    bool wait(int msecs, const int* lost = nullptr)
    {
        if (!waiter) return false;
        QElapsedTimer clock;
        clock.start();
        while (!done && !(lost && *lost != 0)) {
            const qint64 left = msecs - clock.elapsed();
            if (left <= 0) break;
            gensio_time slice = timeFor(int(std::min<qint64>(left, kSliceMs)));
            gensio_os_funcs_wait(os, waiter, 1, &slice);
        }
        return done;
    }
    static constexpr int kSliceMs = 20;
};

namespace {
void openDone(gensio*, int err, void* data)
{
    static_cast<NetworkPort::Pending*>(data)->finish(err);
}

void closeDone(gensio*, void* data)
{
    static_cast<NetworkPort::Pending*>(data)->finish(0);
}

void settingDone(sergensio*, int err, unsigned int value, void* data)
{
    static_cast<NetworkPort::Pending*>(data)->finish(err, value);
}

// Before the synchronous calls take over (while the server's line is set), bytes from the
// meter are kept for the first read, and a connection the server closes is noted; nothing
// else is wanted from the server.
int serverEvent(gensio*, void* userData, int event, int err, unsigned char* buf, gensiods* buflen,
                const char* const*)
{
    if (event != GENSIO_EVENT_READ) return GE_NOTSUP;
    auto* received = static_cast<NetworkPort::Received*>(userData);
    if (err != 0) {
        if (received->error == 0) received->error = err;
    } else if (buf && buflen) {
        received->bytes.append(reinterpret_cast<const char*>(buf), qsizetype(*buflen));
    }
    return 0;
}

// Closes the connection, waiting a bounded time for the close to finish, and frees it.
void closeAndFree(gensio_os_funcs* os, gensio* io)
{
    NetworkPort::Pending closing(os);
    if (gensio_close(io, closeDone, &closing) == 0) closing.wait(kServerWaitMs);
    gensio_free(io);
}

bool isNameError(int err)
{
    return err == GE_UNKNOWN_NAME_ERROR || err == GE_NAME_ERROR || err == GE_NAME_SERVER_FAILURE ||
           err == GE_NAME_INVALID || err == GE_NAME_NET_NOT_UP || err == GE_NOTFOUND;
}
} // namespace

// ---- The address -------------------------------------------------------------------------

QString NetworkAddress::text() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return (protocol == Protocol::Raw ? QString(kRawScheme) : QString(kRfc2217Scheme)) + shownHost +
           u':' + QString::number(port);
}

QString NetworkAddress::gensioString() const
{
    const QString tcp = QStringLiteral("tcp(nodelay),%1,%2").arg(host).arg(port);
    return protocol == Protocol::Rfc2217 ? QStringLiteral("telnet(rfc2217),") + tcp : tcp;
}

bool NetworkAddress::isNetworkName(const QString& text)
{
    const QString t = text.trimmed();
    return t.startsWith(kRawScheme, Qt::CaseInsensitive) ||
           t.startsWith(kRfc2217Scheme, Qt::CaseInsensitive);
}

std::optional<NetworkAddress> NetworkAddress::parse(const QString& text, QString* problem, Use use)
{
    const int lowestPort = use == Use::Listen ? 0 : kLowestPort;
    const QString t = text.trimmed();
    NetworkAddress address;
    QString rest;
    if (t.startsWith(kRawScheme, Qt::CaseInsensitive)) {
        rest = t.mid(kRawScheme.size());
    } else if (t.startsWith(kRfc2217Scheme, Qt::CaseInsensitive)) {
        address.protocol = Protocol::Rfc2217;
        rest = t.mid(kRfc2217Scheme.size());
    }
    // HOST:PORT or [IPV6]:PORT, and nothing else: no path, no user, no second port.
    static const QRegularExpression hostPort(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9._-]+)):([0-9]{1,5})$"));
    const QRegularExpressionMatch m = hostPort.match(rest);
    const int port = m.hasMatch() ? m.captured(3).toInt() : 0;
    if (!isNetworkName(t) || !m.hasMatch() || port < lowestPort || port > kHighestPort) {
        if (problem)
            *problem = QStringLiteral("\"%1\" is not a network address: write tcp://HOST:PORT or "
                                      "rfc2217://HOST:PORT, with a port number from %2 to %3.")
                           .arg(t)
                           .arg(lowestPort)
                           .arg(kHighestPort);
        return std::nullopt;
    }
    address.host = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
    address.port = port;
    return address;
}

// ---- The port ----------------------------------------------------------------------------

NetworkPort::NetworkPort(const QString& address)
    : m_address(NetworkAddress::parse(address, &m_problem)),
      m_name(m_address ? m_address->text() : address.trimmed())
{
}

NetworkPort::~NetworkPort()
{
    close();
}

PortStatus NetworkPort::open()
{
    if (m_io)
        return m_error = {PortError::AlreadyOpen,
                          QStringLiteral("The connection to %1 is already open.").arg(m_name)};
    const SigpipeHeld held;
    m_error = {};
    m_received = {};
    if (!m_address) return m_error = {PortError::Other, m_problem};
    // One set of operating-system functions, with its own selector, for each connection: the
    // connection is used on one thread only, and nothing of gensio outlives the close.
    if (gensio_unix_funcs_alloc(nullptr, 0, &m_os) != 0 || !m_os) {
        m_os = nullptr;
        return m_error = {PortError::Other,
                          QStringLiteral("No connection to %1 can be made.").arg(m_name)};
    }
    PortStatus status = connectServer();
    if (status.ok() && m_address->protocol == NetworkAddress::Protocol::Rfc2217) {
        // The server's answers come in with the reads.
        gensio_set_read_callback_enable(m_io, true);
        status = setFarLine();
    }
    if (status.ok() && gensio_set_sync(m_io) != 0)
        status = {PortError::Other, QStringLiteral("No connection to %1 can be made.").arg(m_name)};
    if (!status.ok()) release();
    return m_error = status;
}

PortStatus NetworkPort::connectServer()
{
    int err = str_to_gensio(m_address->gensioString().toUtf8().constData(), m_os, serverEvent,
                            &m_received, &m_io);
    if (err != 0) {
        m_io = nullptr;
        if (isNameError(err))
            return {PortError::UnknownHost,
                    QStringLiteral("The host of %1 is not known: check the address.").arg(m_name)};
        return {PortError::Other, QStringLiteral("No connection to %1 can be made: %2.")
                                      .arg(m_name, QString::fromUtf8(gensio_err_to_str(err)))};
    }
    NetworkPort::Pending opening(m_os);
    err = gensio_open(m_io, openDone, &opening);
    const bool answered = err == 0 && opening.wait(kConnectTimeoutMs);
    if (err == 0 && !answered) {
        // The open is called off: the close finishes it before the connection goes.
        closeAndFree(m_os, m_io);
        m_io = nullptr;
        return {PortError::NoAnswer,
                QStringLiteral("The device server at %1 did not answer within %2 s: check the "
                               "address, the network and that the server is on.")
                    .arg(m_name)
                    .arg(kConnectTimeoutMs / 1000)};
    }
    if (err == 0) err = opening.err;
    if (err == 0) return {};

    gensio_free(m_io);
    m_io = nullptr;
    if (err == GE_CONNREFUSE)
        return {PortError::Refused,
                QStringLiteral("Nobody is listening at %1: check the address and the port, and "
                               "that the device server is on.")
                    .arg(m_name)};
    if (err == GE_HOSTDOWN || err == GE_TIMEDOUT)
        return {PortError::NoAnswer,
                QStringLiteral("The device server at %1 cannot be reached: check the address and "
                               "the network.")
                    .arg(m_name)};
    if (isNameError(err))
        return {PortError::UnknownHost,
                QStringLiteral("The host of %1 is not known: check the address.").arg(m_name)};
    return {PortError::Other, QStringLiteral("No connection to %1 can be made: %2.")
                                  .arg(m_name, QString::fromUtf8(gensio_err_to_str(err)))};
}

// The server's line to the meter: 19200 baud, 8 data bits, no parity, 1 stop bit, no flow
// control, each as the server answers it.
PortStatus NetworkPort::setFarLine()
{
    sergensio* serial = gensio_to_sergensio(m_io);
    if (!serial)
        return {PortError::Other,
                QStringLiteral("The device server at %1 cannot set its serial line.").arg(m_name)};
    struct Setting {
        const char* what;
        int (*set)(sergensio*, unsigned int, sergensio_done, void*);
        unsigned int wanted;
    };
    const Setting settings[] = {
        {"baud rate", sergensio_baud, line::kBaud},
        {"data bits", sergensio_datasize, line::kDataBits},
        {"parity", sergensio_parity, SERGENSIO_PARITY_NONE},
        {"stop bits", sergensio_stopbits, line::kStopBits},
        {"flow control", sergensio_flowcontrol, SERGENSIO_FLOWCONTROL_NONE},
    };
    // Kept until the connection is freed: an answer that comes after its wait lands here.
    m_setting = std::make_unique<Pending>(m_os);
    for (const Setting& s : settings) {
        m_setting->done = false;
        int err = s.set(serial, s.wanted, settingDone, m_setting.get());
        // A server that closes the connection (its device in use by another client) is
        // noticed at once, not after the whole wait.
        if (err == 0 && !m_setting->wait(kServerWaitMs, &m_received.error))
            err = m_received.error != 0 ? m_received.error : GE_TIMEDOUT;
        if (err == 0) err = m_setting->err;
        if (err == GE_TIMEDOUT)
            return {PortError::NoAnswer,
                    QStringLiteral("The device server at %1 did not answer the %2 setting within "
                                   "%3 s: is it a server with RFC 2217?")
                        .arg(m_name, QLatin1String(s.what))
                        .arg(kServerWaitMs / 1000)};
        if (err != 0) {
            // A server that refuses the connection says why before it closes it.
            PortStatus lost = dropped(err);
            const QString said = QString::fromLatin1(m_received.bytes).trimmed();
            if (!said.isEmpty() && said.size() < 200)
                lost.text.replace(
                    QLatin1String("(the device server closed it)"),
                    QStringLiteral("(the device server closed it, saying \"%1\")").arg(said));
            return lost;
        }
        if (m_setting->value != s.wanted)
            return {PortError::Other, QStringLiteral("The device server at %1 did not set its "
                                                     "line to 19200,N,8,1: it answered %2 for "
                                                     "the %3.")
                                          .arg(m_name)
                                          .arg(m_setting->value)
                                          .arg(QLatin1String(s.what))};
    }
    return {};
}

PortStatus NetworkPort::dropped(int err) const
{
    const QString why = err == GE_REMCLOSE ? QStringLiteral("the device server closed it")
                                           : QString::fromUtf8(gensio_err_to_str(err));
    return {PortError::LineDead, QStringLiteral("The connection to %1 was lost (%2); check the "
                                                "device server and the network, then choose "
                                                "the port again.")
                                     .arg(m_name, why)};
}

void NetworkPort::release()
{
    const SigpipeHeld held;
    if (m_io) closeAndFree(m_os, m_io);
    m_io = nullptr;
    m_setting.reset();
    if (m_os) gensio_os_funcs_free(m_os);
    m_os = nullptr;
}

void NetworkPort::close()
{
    release();
    m_received.bytes.clear();
}

void NetworkPort::failLine(const PortStatus& status)
{
    if (m_error.ok()) m_error = status;
    release();
}

bool NetworkPort::takeIn(int msecs)
{
    if (!m_io) return false;
    const SigpipeHeld held;
    char chunk[kReadChunk];
    gensiods count = 0;
    gensio_time left = timeFor(msecs);
    const int err = gensio_read_s(m_io, &count, chunk, sizeof chunk, &left);
    if (err != 0) {
        failLine(dropped(err));
        return false;
    }
    m_received.bytes.append(chunk, qsizetype(count));
    return count > 0;
}

int NetworkPort::bytesWaiting()
{
    for (int round = 0; round < kTakeInRounds && takeIn(0); ++round) {
    }
    return int(m_received.bytes.size());
}

QByteArray NetworkPort::readAll()
{
    bytesWaiting();
    QByteArray taken;
    taken.swap(m_received.bytes);
    return taken;
}

bool NetworkPort::writeByte(std::uint8_t byte)
{
    if (!m_io) {
        if (m_error.ok())
            m_error = {PortError::NotOpen,
                       QStringLiteral("The connection to %1 is not open.").arg(m_name)};
        return false;
    }
    const SigpipeHeld held;
    gensiods count = 0;
    gensio_time left = timeFor(kServerWaitMs);
    const int err = gensio_write_s(m_io, &count, &byte, 1, &left);
    if (err != 0) {
        failLine(dropped(err));
        return false;
    }
    if (count != 1) {
        // The server took nothing within the wait: the byte did not go out.
        m_error = {PortError::Other,
                   QStringLiteral("The connection to %1 could not send a byte within %2 s: the "
                                  "device server takes nothing. Check that it and the meter are "
                                  "on.")
                       .arg(m_name)
                       .arg(kServerWaitMs / 1000)};
        return false;
    }
    return true;
}

bool NetworkPort::waitForData(int msecs)
{
    return takeIn(msecs);
}

} // namespace kaldor
