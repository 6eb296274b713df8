#pragma once
// ser2net for bench_link: a real serial device server on loopback, bridging four
// pseudo-terminals (each a kaldor-sim's: ser2net holds a device a moment after its client has
// gone, so that no two ports share one) to four free ports: raw and RFC 2217, each as ser2net comes
// (it waits a little for more bytes from the line before it sends them on, and its TCP holds a
// small segment back until the last is acknowledged) and set for the meter (chardelay off, nodelay
// on: each byte goes on at once); stopped when this goes.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kaldor::bench {

class Ser2netProcess {
public:
    Ser2netProcess() = default;
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;
    ~Ser2netProcess();

    // False (and said) when ser2net is missing, does not start, or its ports do not take a
    // connection within a few seconds.
    bool start(const QStringList& devices);
    // tcp:// or rfc2217:// and the port, as ser2net comes or set for the meter.
    QString address(bool rfc2217, bool setForMeter) const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
            .arg(m_ports[int(rfc2217) * 2 + int(setForMeter)]);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_ports[4] = {}; // raw as it comes, raw set, RFC 2217 as it comes, RFC 2217 set
};

} // namespace kaldor::bench
