#pragma once
// The link thread: it owns the serial port and runs one exchange at a time, so the windows
// never block on the line and two exchanges never interleave on the wire. Every call returns
// at once; a request while an exchange runs is refused (the call returns false and the
// window shows kBusyMessage). Results come back as signals on the caller's thread.

#include "link/exchanges.h"
#include "link/serialport.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

namespace kaldor {

enum class ExchangeKind { OpenPort, ClosePort, Download, Upload, SendTank, Clear, Keypad };

class Link : public QObject {
    Q_OBJECT
public:
    using PortFactory = std::function<std::unique_ptr<SerialPort>(const PortSpec&)>;
    static const QString kBusyMessage;

    // The factory makes the port on the link thread (QSerialPort must live where it is used).
    explicit Link(PortFactory factory, WaitBounds bounds = {}, QObject* parent = nullptr);
    // Calls off a running exchange at its next wait and waits for the thread to end.
    ~Link() override;

    bool isBusy() const { return m_busy.load(); }
    bool isPortOpen() const { return m_portOpen; }
    PortSpec portSpec() const { return m_portSpec; }
    PortStatus portStatus() const { return m_portStatus; }

    // Closes the port if open, then opens the one given: portOpened().
    bool openPort(const PortSpec& portSpec);
    bool closePort();
    bool download(const QString& workingFile);
    bool upload(const UploadSource& source, UploadVariant variant);
    bool sendTank(const TankSend& send, const QString& workingFile);
    bool clear();
    bool pressKey(KeypadKey key, bool discardFirst = false);

    // Runs any exchange on the link thread; finished(kind, result) follows.
    bool run(ExchangeKind kind, std::function<ExchangeResult(ExchangeContext&)> exchange);

signals:
    void busyChanged(bool busy);
    void progress(int percent);
    void portOpened(const kaldor::PortStatus& status);
    void portClosed();
    // Also for OpenPort and ClosePort, after portOpened()/portClosed().
    void finished(kaldor::ExchangeKind kind, const kaldor::ExchangeResult& result);

private:
    bool begin();
    void post(std::function<void()> job);

    PortFactory m_factory;
    WaitBounds m_bounds;
    QThread m_thread;
    QObject* m_worker = nullptr; // lives on m_thread
    std::unique_ptr<SerialPort> m_port; // touched on m_thread only
    std::atomic_bool m_busy{false};
    std::atomic_bool m_cancel{false};
    bool m_portOpen = false;
    PortSpec m_portSpec;
    PortStatus m_portStatus;
};

} // namespace kaldor

Q_DECLARE_METATYPE(kaldor::PortStatus)
Q_DECLARE_METATYPE(kaldor::ExchangeResult)
Q_DECLARE_METATYPE(kaldor::ExchangeKind)
