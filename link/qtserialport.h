#pragma once
// The serial port over QSerialPort, used from the link thread in blocking form.

#include "link/serialport.h"

#include <QSerialPort>

namespace kaldor {

class QtSerialPort : public SerialPort {
public:
    explicit QtSerialPort(const PortSpec& portSpec);
    ~QtSerialPort() override;

    QString name() const override { return m_name; }
    PortStatus open() override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    int bytesWaiting() override;
    QByteArray readAll() override;
    bool writeByte(std::uint8_t byte) override;
    bool waitForData(int msecs) override;
    PortStatus lastError() const override { return m_error; }

private:
    // After a hang-up Qt reports a read error again and again while the port stays open:
    // the first such error closes the port and is kept, once.
    bool checkLine(bool checkPath = false);
    PortStatus statusFor(QSerialPort::SerialPortError error) const;
    PortStatus lineDead(const QString& reason) const;
    // Keeps the first failure and closes the port.
    void failLine(const PortStatus& status);
#ifdef Q_OS_UNIX
    enum class WriteOutcome { Written, Failed, TryBuffered };
    WriteOutcome writeToDriver(char c);
#endif

    QString m_name;
    QSerialPort m_port;
    PortStatus m_error;
};

} // namespace kaldor
