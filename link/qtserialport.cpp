#include "link/qtserialport.h"

#include "link/systemports.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace kaldor {

namespace {
constexpr int kWriteTimeoutMs = 2000;
} // namespace

namespace {
// The device a typed path names: symbolic links, "//" and ".." resolved, so that the same
// device under a second name is seen as held. A path that does not exist stays as typed.
QString canonicalDevice(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
} // namespace

QtSerialPort::QtSerialPort(const PortSpec& portSpec)
    : m_name(canonicalDevice(portSpec.deviceName()))
{
    m_port.setPortName(m_name);
}

QtSerialPort::~QtSerialPort()
{
    close();
}

PortStatus QtSerialPort::statusFor(QSerialPort::SerialPortError error) const
{
    switch (error) {
    case QSerialPort::NoError:
        return {};
    case QSerialPort::DeviceNotFoundError:
        return {PortError::Unavailable,
                QStringLiteral("The serial port %1 does not exist.").arg(m_name)};
    case QSerialPort::PermissionError:
#ifdef Q_OS_UNIX
        // A device we may write to is refused only because another program holds it.
        if (!(QFileInfo::exists(m_name) && QFileInfo(m_name).isWritable())) {
            return {PortError::PermissionDenied, noAccessText(m_name)};
        }
#endif
        return {PortError::HeldByOther,
                QStringLiteral("The serial port %1 is held by another program.").arg(m_name)};
    case QSerialPort::OpenError:
        return {PortError::AlreadyOpen,
                QStringLiteral("The serial port %1 is already open.").arg(m_name)};
    case QSerialPort::NotOpenError:
        return {PortError::NotOpen, QStringLiteral("The serial port %1 is not open.").arg(m_name)};
    // Qt's own text for these is the system's last error, which is often another call's
    // (an ioctl's "Inappropriate ioctl for device"): say what happened instead.
    case QSerialPort::ResourceError:
        return lineDead(QStringLiteral("the device went away or the other end closed the line"));
    case QSerialPort::ReadError:
        return lineDead(QStringLiteral("nothing more could be read from it"));
    case QSerialPort::WriteError:
        return lineDead(QStringLiteral("nothing more could be written to it"));
    default:
        return {PortError::Other,
                QStringLiteral("The serial port %1 failed: %2").arg(m_name, m_port.errorString())};
    }
}

PortStatus QtSerialPort::lineDead(const QString& reason) const
{
    return {PortError::LineDead, QStringLiteral("The line on %1 failed (%2); check the cable and "
                                                "the adapter, then choose the port again.")
                                     .arg(m_name, reason)};
}

void QtSerialPort::failLine(const PortStatus& status)
{
    if (m_error.ok()) m_error = status;
    m_port.close();
}

PortStatus QtSerialPort::open()
{
    if (m_port.isOpen()) return m_error = statusFor(QSerialPort::OpenError);
    m_port.clearError();
    if (!m_port.open(QIODevice::ReadWrite)) return m_error = statusFor(m_port.error());
    // A pseudo-terminal refuses some line settings; only the ones that matter are required.
    const bool set = m_port.setBaudRate(line::kBaud) && m_port.setDataBits(QSerialPort::Data8) &&
                     m_port.setParity(QSerialPort::NoParity) &&
                     m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!set && m_port.error() != QSerialPort::UnsupportedOperationError) {
        const PortStatus status = statusFor(m_port.error());
        m_port.close();
        return m_error = status;
    }
    m_port.clearError();
    return m_error = {};
}

void QtSerialPort::close()
{
    if (m_port.isOpen()) m_port.close();
}

bool QtSerialPort::checkLine(bool checkPath)
{
    const QSerialPort::SerialPortError e = m_port.error();
    const bool dead = e == QSerialPort::ReadError || e == QSerialPort::WriteError ||
                      e == QSerialPort::ResourceError;
    if (dead || (checkPath && m_port.isOpen() && !QFileInfo::exists(m_name))) {
        failLine(dead ? statusFor(e)
                      : PortStatus{PortError::LineDead,
                                   QStringLiteral("The serial port %1 has gone.").arg(m_name)});
        return false;
    }
    return m_port.isOpen();
}

int QtSerialPort::bytesWaiting()
{
    if (!checkLine()) return 0;
    m_port.waitForReadyRead(0); // take in what the driver holds
    checkLine();
    return int(m_port.bytesAvailable());
}

QByteArray QtSerialPort::readAll()
{
    if (!checkLine()) return {};
    m_port.waitForReadyRead(0);
    return m_port.readAll();
}

bool QtSerialPort::writeByte(std::uint8_t byte)
{
    if (!m_port.isOpen()) {
        if (m_error.ok()) m_error = statusFor(QSerialPort::NotOpenError);
        return false;
    }
    const char c = static_cast<char>(byte);
#ifdef Q_OS_UNIX
    // One byte at a time, with nothing left in Qt's own buffer: hand it straight to the
    // driver, as a plain write() would, instead of a poll and a write through the buffer.
    if (m_port.bytesToWrite() == 0) {
        const WriteOutcome direct = writeToDriver(c);
        if (direct != WriteOutcome::TryBuffered) return direct == WriteOutcome::Written;
    }
#endif
    if (m_port.write(&c, 1) != 1) return checkLine() && false;
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(kWriteTimeoutMs)) break;
    }
    if (!checkLine()) return false;
    if (m_port.bytesToWrite() > 0) {
        // The driver took nothing within the wait (a stopped meter with a full line): the byte
        // did not go out, and is not left to go out later in the middle of another exchange.
        m_port.clear(QSerialPort::Output);
        m_error = {PortError::Other,
                   QStringLiteral("The serial port %1 could not send a byte within %2 s: the line "
                                  "is blocked. Check that the meter is on and connected.")
                       .arg(m_name)
                       .arg(kWriteTimeoutMs / 1000)};
        return false;
    }
    return true;
}

#ifdef Q_OS_UNIX
QtSerialPort::WriteOutcome QtSerialPort::writeToDriver(char c)
{
    const int fd = int(m_port.handle());
    if (fd < 0) return WriteOutcome::TryBuffered;
    int error = 0; // this write's own errno, never one left over from an earlier call
    for (;;) {
        const ssize_t n = ::write(fd, &c, 1);
        error = n < 0 ? errno : 0;
        if (n == 1) return WriteOutcome::Written;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return WriteOutcome::TryBuffered; // the driver is full: Qt waits for room
        break;
    }
    // The line is gone (EIO after a hang-up, ENXIO for a pulled adapter).
    failLine(lineDead(error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                 : QStringLiteral("the driver took no byte")));
    return WriteOutcome::Failed;
}
#endif

bool QtSerialPort::waitForData(int msecs)
{
    if (!checkLine()) return false;
    // Bytes already taken in are not waited for again: the wait is for more from the driver,
    // so that a wait for a whole block sleeps between its bytes rather than spinning.
    const bool arrived = m_port.waitForReadyRead(msecs);
    // A vanished device path is a dead line: look for it whenever a wait comes back empty.
    return checkLine(!arrived) && arrived;
}

} // namespace kaldor
