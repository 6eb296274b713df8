#include "bench/link/plainline.h"

#include "link/wire.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kaldor::bench {

namespace {

constexpr int kReplyWaitMs = timing::kReplyWaitMs;

class PlainLine {
public:
    ~PlainLine()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool open(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (m_fd < 0) return false;
        termios t{};
        if (tcgetattr(m_fd, &t) != 0) return false;
        cfmakeraw(&t);
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        return tcsetattr(m_fd, TCSANOW, &t) == 0;
    }
    bool put(std::uint8_t b)
    {
        const bool ok = ::write(m_fd, &b, 1) == 1;
        if (m_record && m_inHand) {
            turnarounds.push_back(microseconds(Clock::now() - m_inHandAt));
            m_inHand = false;
        }
        return ok;
    }
    // Exactly n bytes, each wait bounded as the program bounds it.
    bool take(std::uint8_t* into, int n)
    {
        int got = 0;
        while (got < n) {
            pollfd p{m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, kReplyWaitMs);
            if (ready <= 0 || !(p.revents & POLLIN)) {
                std::fprintf(stderr,
                             "bench_link: no reply (%d of %d bytes, poll %d, revents %#x)\n", got,
                             n, ready, unsigned(p.revents));
                return false;
            }
            const ssize_t r = ::read(m_fd, into + got, std::size_t(n - got));
            if (r <= 0) {
                std::fprintf(stderr, "bench_link: read: %s\n",
                             r < 0 ? std::strerror(errno) : "end of file");
                return false;
            }
            got += int(r);
        }
        if (m_record) {
            m_inHandAt = Clock::now();
            m_inHand = true;
        }
        return true;
    }
    bool ack()
    {
        std::uint8_t b = 0;
        if (!take(&b, 1)) return false;
        if (b != wire::kAck)
            std::fprintf(stderr, "bench_link: the meter answered %#x\n", unsigned(b));
        return b == wire::kAck;
    }
    bool frame(char a, char b)
    {
        return put(wire::kStx) && put(std::uint8_t(a)) && put(std::uint8_t(b)) && put(wire::kCr);
    }
    // Times each byte written after a reply, from the reply's last byte read.
    void record() { m_record = true; }
    std::vector<double> turnarounds;

private:
    int m_fd = -1;
    bool m_record = false;
    bool m_inHand = false;
    Clock::time_point m_inHandAt{};
};

bool plainDownload(PlainLine& line, const std::vector<std::uint8_t>& expected)
{
    if (!line.frame('A', 'U') || !line.ack() || !line.put(wire::kAck)) return false;
    std::uint8_t count[2];
    if (!line.take(count, 2)) return false;
    const int blocks = count[0] * 256 + count[1];
    if (blocks != layout::kMaxBlocks) {
        std::fprintf(stderr, "bench_link: the meter announced %d blocks\n", blocks);
        return false;
    }
    if (!line.put(wire::kAck)) return false;
    std::vector<std::uint8_t> image(std::size_t(blocks) * layout::kBlockSize);
    for (int b = 0; b < blocks; ++b) {
        if (!line.take(image.data() + std::size_t(b) * layout::kBlockSize, layout::kBlockSize) ||
            !line.put(wire::kAck))
            return false;
    }
    if (image != expected) std::fputs("bench_link: the image read is not the meter's\n", stderr);
    return image == expected;
}

bool plainUpload(PlainLine& line, const std::vector<std::uint8_t>& bytes)
{
    const int blocks = int(bytes.size()) / layout::kBlockSize;
    if (!line.frame('A', 'D') || !line.ack() || !line.put(std::uint8_t(blocks / 256)) ||
        !line.put(std::uint8_t(blocks % 256)) || !line.ack())
        return false;
    std::size_t i = 0;
    for (int b = 0; b < blocks; ++b) {
        for (int k = 0; k < layout::kBlockSize; ++k)
            if (!line.put(bytes[i++])) return false;
        if (!line.ack()) return false;
    }
    return line.put(bytes.back());
}

bool plainSend(PlainLine& line, int tank, const std::vector<std::uint8_t>& data)
{
    const int n = int(data.size());
    if (!line.frame('C', 'D') || !line.ack() || !line.put(std::uint8_t(tank)) || !line.ack() ||
        !line.put(std::uint8_t(n / 256)) || !line.put(std::uint8_t(n % 256)) || !line.ack())
        return false;
    for (const std::uint8_t b : data)
        if (!line.put(b) || !line.ack()) return false;
    return true;
}

} // namespace

double runPlain(const Job& job, const std::string& device, Turnarounds* turnarounds)
{
    PlainLine line;
    if (turnarounds) line.record();
    if (!line.open(device)) {
        std::fprintf(stderr, "bench_link: %s: %s\n", device.c_str(), std::strerror(errno));
        return -1;
    }
    bool ok = false;
    const Clock::time_point start = Clock::now();
    switch (job.kind) {
    case Kind::Download:
        ok = plainDownload(line, job.bytes);
        break;
    case Kind::Upload:
        ok = plainUpload(line, job.bytes);
        break;
    case Kind::Send:
        ok = plainSend(line, job.send.tankNumber, job.sendBytes);
        break;
    }
    const Clock::time_point end = Clock::now();
    if (turnarounds) turnarounds->add(line.turnarounds, line.turnarounds);
    return ok ? seconds(end - start) : -1;
}

} // namespace kaldor::bench
