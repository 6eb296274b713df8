#pragma once
// A serial device server in front of the simulated meter: the meter served on a
// pseudo-terminal by a thread of its own, and a real ser2net that bridges it to two loopback
// ports, one raw and one telnet with RFC 2217. ser2net starts the device at 9600 baud, so that
// a line set by the program can be told from the server's own.

#include "sim/ptymeter.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kaldor::testing {

inline sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A loopback port nobody listens on now.
inline int freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

// True once a connect to the loopback port succeeds, trying for up to msecs.
inline bool acceptsWithin(int port, int msecs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < msecs) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in a = loopback(port);
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (connected) return true;
        QThread::msleep(20);
    }
    return false;
}

// The ser2net program, empty when it is not installed. Debian puts it in /usr/sbin, which a
// user's PATH may leave out.
inline QString ser2netProgram()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    return !found.isEmpty() ? found
                            : QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                             {QStringLiteral("/usr/sbin")});
}

class Ser2NetRig {
public:
    explicit Ser2NetRig(const IndicatorImage& image) : meter(image), m_pty(meter) {}
    ~Ser2NetRig()
    {
        stopServer();
        m_stop.store(true);
        if (m_serving.joinable()) m_serving.join();
    }

    static bool installed() { return !ser2netProgram().isEmpty(); }

    // The meter on its pseudo-terminal and ser2net in front of it; false with *error set.
    // `between` runs on the meter's thread between the bytes it answers.
    bool start(QString* error, std::function<void()> between = {})
    {
        if (!m_pty.open(error)) return false;
        m_serving = std::thread([this, between] { m_pty.serve(m_stop, between); });
        rawPort = freeLoopbackPort();
        rfc2217Port = freeLoopbackPort();
        const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        const QString device = m_pty.slavePath();
        const QString text = QStringLiteral("connection: &raw\n"
                                            "  accepter: tcp,127.0.0.1,%1\n"
                                            "  connector: serialdev,%3,9600n81,local\n"
                                            "connection: &rfc2217\n"
                                            "  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                                            "  connector: serialdev,%3,9600n81,local\n")
                                 .arg(rawPort)
                                 .arg(rfc2217Port)
                                 .arg(device);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0) {
            *error = QStringLiteral("cannot write %1").arg(config);
            return false;
        }
        file.close();
        // In the foreground, without UUCP locks (no lock folder to write to) and with its own
        // pid file: nothing of a system ser2net is touched.
        // It ends with the test, even one that crashes.
        m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_server.start(ser2netProgram(),
                       {"-n", "-u", "-c", config, "-P", m_dir.filePath(QStringLiteral("pid"))});
        if (!m_server.waitForStarted(5000) || !acceptsWithin(rawPort, 5000) ||
            !acceptsWithin(rfc2217Port, 5000)) {
            *error = QStringLiteral("ser2net did not start: %1")
                         .arg(QString::fromLocal8Bit(m_server.readAllStandardError()));
            return false;
        }
        return true;
    }

    // Ends ser2net at once, as a server that loses its power does.
    bool killServer()
    {
        if (m_server.state() == QProcess::NotRunning) return false;
        m_server.kill();
        return m_server.waitForFinished(5000);
    }
    void stopServer()
    {
        if (m_server.state() == QProcess::NotRunning) return;
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) killServer();
    }
    // Stops the meter; what it received and holds can be read after this only.
    void stopMeter()
    {
        m_stop.store(true);
        if (m_serving.joinable()) m_serving.join();
    }

    QString device() const { return m_pty.slavePath(); }
    QString address(bool rfc2217) const
    {
        return rfc2217 ? QStringLiteral("rfc2217://127.0.0.1:%1").arg(rfc2217Port)
                       : QStringLiteral("tcp://127.0.0.1:%1").arg(rawPort);
    }

    SimulatedMeter meter;
    int rawPort = 0;
    int rfc2217Port = 0;

private:
    PtyMeter m_pty;
    std::atomic_bool m_stop{false};
    std::thread m_serving;
    QProcess m_server;
    QTemporaryDir m_dir;
};

// A loopback listener whose queue is full: further connects are not answered (their SYNs are
// dropped), as a host that does not answer. Holds its sockets until destroyed.
class FullListener {
public:
    FullListener()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(0);
        socklen_t len = sizeof a;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(m_listener, 0) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        // Connect until one is left waiting: the queue is full from then on.
        for (int i = 0; i < 16; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            m_clients.push_back(fd);
            ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 200) == 0) {
                port = ntohs(a.sin_port);
                return;
            }
        }
    }
    ~FullListener()
    {
        for (const int fd : m_clients)
            ::close(fd);
        if (m_listener >= 0) ::close(m_listener);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    int port = 0; // 0 when the queue could not be filled

private:
    int m_listener = -1;
    std::vector<int> m_clients;
};

} // namespace kaldor::testing
