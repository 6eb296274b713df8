#pragma once
// The one seam between the program and the line to the meter. The QSerialPort backend, the
// simulated meter and scripted fakes all sit behind it; every exchange is written against it.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace kaldor {

// The failures the program tells apart. The first four keep the serial control's own numbers.
enum class PortError {
    None = 0,
    HeldByOther = 8010, // another program has the port
    NotOpen = 8012,     // an operation on a closed port
    AlreadyOpen = 8013,
    Unavailable = 68, // no such device
    PermissionDenied = 70,
    LineDead = 57, // the line failed while open: adapter pulled, pseudo-terminal closed
    Other = 8015,
    // A device server on the network, numbered as the socket errors are.
    NoAnswer = 10060,    // the host did not answer the connect in time, or cannot be reached
    Refused = 10061,     // nobody is listening at the address
    UnknownHost = 11001, // the host's name is not known
};

struct PortStatus {
    PortError error = PortError::None;
    QString text; // a clear sentence naming the device, empty when all is well
    bool ok() const { return error == PortError::None; }
    int number() const { return static_cast<int>(error); }
};

// What a window shows when a port will not open: "Error: " and the number; a port the user
// may not open also gets the sentence that says how to get access.
QString portErrorText(const PortStatus& status);

// A port as the user names it: option 1 to 4, a device path typed in (a USB adapter such as
// /dev/ttyUSB0, a pseudo-terminal) or the address of a serial device server, tcp://HOST:PORT
// or rfc2217://HOST:PORT. QSerialPortInfo does not list pseudo-terminals, so a typed path is
// taken as it is.
struct PortSpec {
    int number = 1;     // 1 .. 4 when devicePath is empty
    QString devicePath; // overrides the number when set

    // COM1 .. COM4 on Windows, /dev/ttyS0 .. /dev/ttyS3 elsewhere, or the path.
    QString deviceName() const;
    // "1" .. "4", a path or a network address; nullopt for anything else, with *problem
    // saying what is wrong with an address that is not usable.
    static std::optional<PortSpec> parse(const QString& text, QString* problem = nullptr);
    // Empty when the port can be made, else why not (a network address that is not usable).
    QString problem() const;
    friend bool operator==(const PortSpec&, const PortSpec&) = default;
};

class SerialPort;

// The port a name stands for: a connection to a device server for a network address, the
// system's serial port otherwise.
std::unique_ptr<SerialPort> makeSerialPort(const PortSpec& portSpec);

// The meter's line: 19200 baud, 8 data bits, no parity, 1 stop bit.
namespace line {
constexpr int kBaud = 19200;
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;
} // namespace line

class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual QString name() const = 0;
    // 19200 baud, no parity, 8 data bits, 1 stop bit, no flow control, every byte unchanged.
    virtual PortStatus open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Bytes received and not yet read.
    virtual int bytesWaiting() = 0;
    // Every waiting byte, possibly none.
    virtual QByteArray readAll() = 0;
    // One byte; the program never writes more than one byte a call. False when it could not
    // be written (port closed, line dead): lastError() says why.
    virtual bool writeByte(std::uint8_t byte) = 0;
    // Blocks up to msecs for more bytes to arrive than have been taken in already.
    // False when none arrived in time or the line failed.
    virtual bool waitForData(int msecs) = 0;

    virtual PortStatus lastError() const = 0;

    // The next four bytes written are the command frame with these two letters. Only a port
    // that logs its traffic does anything with it.
    virtual void commandFollows(const char (&letters)[3]) { (void)letters; }
};

} // namespace kaldor
