#include "sim/ptymeter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kaldor {

namespace {
constexpr int kPollMs = 5;
constexpr int kReadChunk = 256;
} // namespace

PtyMeter::PtyMeter(SimulatedMeter& meter, MeterTiming timing)
    : m_meter(meter), m_line(meter, timing)
{
}

PtyMeter::~PtyMeter()
{
    closeLine();
}

bool PtyMeter::open(QString* error)
{
    const auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what),
                                                  QString::fromLocal8Bit(std::strerror(errno)));
        closeLine();
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) return fail("posix_openpt");
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) return fail("grantpt/unlockpt");
    const char* name = ptsname(m_master);
    if (!name) return fail("ptsname");
    m_slavePath = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0) return fail("open slave");
    termios raw{};
    if (tcgetattr(m_slave, &raw) != 0) return fail("tcgetattr");
    cfmakeraw(&raw);
    cfsetispeed(&raw, B19200);
    cfsetospeed(&raw, B19200);
    if (tcsetattr(m_slave, TCSANOW, &raw) != 0) return fail("tcsetattr");
    if (tcgetattr(m_master, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
    }
    return true;
}

void PtyMeter::closeLine()
{
    if (m_master >= 0) ::close(m_master);
    if (m_slave >= 0) ::close(m_slave);
    m_master = m_slave = -1;
}

void PtyMeter::serve(const std::atomic_bool& stop, const std::function<void()>& between)
{
    char buffer[kReadChunk];
    while (!stop.load()) {
        if (between) between();
        if (m_master < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            continue;
        }
        pollfd p{m_master, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready <= 0 || !(p.revents & POLLIN)) {
            // With our own slave open a hang-up of the client shows no error here.
            continue;
        }
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        const auto arrived = MeterLine::Clock::now();
        if (n <= 0) continue;
        const auto write = [this](char c) { return ::write(m_master, &c, 1) == 1; };
        for (ssize_t i = 0; i < n && m_master >= 0; ++i) {
            m_line.answer(std::uint8_t(buffer[i]), arrived, write);
            if (m_meter.lineClosed()) closeLine();
        }
    }
}

} // namespace kaldor
