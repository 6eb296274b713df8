#pragma once
// The meter's line reached through a serial device server on the network: raw TCP, or telnet
// with the COM port option (RFC 2217), through gensio's synchronous calls on the link thread.
// The server's own line to the meter is set to 19200,N,8,1 at open when the protocol can.

#include "link/serialport.h"

#include <QString>
#include <memory>
#include <optional>

struct gensio;
struct gensio_os_funcs;

namespace kaldor {

// tcp://HOST:PORT (bytes as they are) or rfc2217://HOST:PORT (telnet, the server's line set by
// the program). HOST is a name, an IPv4 address or an IPv6 address in brackets.
struct NetworkAddress {
    enum class Protocol { Raw, Rfc2217 };
    Protocol protocol = Protocol::Raw;
    QString host;
    int port = 0;

    // The address as the user writes it.
    QString text() const;
    // The address as gensio reads it, for a connection and a listener alike: tcp with no Nagle
    // delay (each byte goes out as it is written, as on a serial line, never held behind an
    // acknowledged block), under telnet with RFC 2217 for rfc2217://.
    QString gensioString() const;
    // The text starts with tcp:// or rfc2217://: it names a network port, well or badly.
    static bool isNetworkName(const QString& text);
    // nullopt, with *problem saying what is wrong, when the text is not a usable address. An
    // address to listen on may give port 0: any free port.
    enum class Use { Connect, Listen };
    static std::optional<NetworkAddress> parse(const QString& text, QString* problem = nullptr,
                                               Use use = Use::Connect);
};

class NetworkPort : public SerialPort {
public:
    // An address that is not usable makes a port that refuses to open, saying why.
    explicit NetworkPort(const QString& address);
    ~NetworkPort() override;
    NetworkPort(const NetworkPort&) = delete;
    NetworkPort& operator=(const NetworkPort&) = delete;

    QString name() const override { return m_name; }
    PortStatus open() override;
    void close() override;
    bool isOpen() const override { return m_io != nullptr; }
    int bytesWaiting() override;
    QByteArray readAll() override;
    bool writeByte(std::uint8_t byte) override;
    bool waitForData(int msecs) override;
    PortStatus lastError() const override { return m_error; }

    // The longest a connection may take to be set up. A device server on the plant network
    // answers within milliseconds; a host that drops the request would otherwise keep the
    // link waiting for the system's own connect time-out, which is minutes.
    static constexpr int kConnectTimeoutMs = 3000;

    // What came from the server and is not read yet, and the error that ended the connection
    // while its line was being set.
    struct Received {
        QByteArray bytes;
        int error = 0;
    };
    struct Pending; // an asynchronous call of gensio and its answer

private:
    PortStatus connectServer();
    PortStatus setFarLine();
    // Takes in what the server has sent, waiting up to msecs for the first of it; false when
    // nothing came or the connection was lost.
    bool takeIn(int msecs);
    // Keeps the first failure and drops the connection.
    void failLine(const PortStatus& status);
    PortStatus dropped(int err) const;
    void release();

    QString m_problem; // why the address is not usable; before the address, which sets it
    std::optional<NetworkAddress> m_address;
    QString m_name;
    gensio_os_funcs* m_os = nullptr;
    gensio* m_io = nullptr;
    Received m_received;
    std::unique_ptr<Pending> m_setting; // the answer to the line setting under way
    PortStatus m_error;
};

} // namespace kaldor
