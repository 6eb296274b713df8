#include "bench/link/ser2netprocess.h"

#include "tests/support/ser2netrig.h"

#include <QFile>

#include <algorithm>
#include <cstdio>

namespace kaldor::bench {

namespace {
constexpr int kReadyMs = 5000;
} // namespace

bool Ser2netProcess::start(const QStringList& devices)
{
    if (devices.size() != 4) return false;
    const QString program = testing::ser2netProgram();
    if (program.isEmpty()) {
        std::fputs("bench_link: ser2net is not installed\n", stderr);
        return false;
    }
    // The raw ports set the device's line 19200 8N1; the RFC 2217 ports start it at 9600, which
    // the program sets right at open. No banner: every byte must be the meter's.
    QByteArray yaml = "%YAML 1.1\n---\n";
    for (int k = 0; k < 4; ++k) {
        const bool rfc2217 = k >= 2;
        const bool setForMeter = k % 2;
        m_ports[k] = testing::freeLoopbackPort();
        yaml += QStringLiteral("connection: &c%1\n"
                               "  accepter: %2tcp%3,127.0.0.1,%4\n"
                               "  connector: serialdev,%5,%6n81,local\n"
                               "  options:\n    kickolduser: true\n%7")
                    .arg(k)
                    .arg(rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString())
                    .arg(setForMeter ? QStringLiteral("(nodelay)") : QString())
                    .arg(m_ports[k])
                    .arg(devices.at(k))
                    .arg(rfc2217 ? 9600 : 19200)
                    .arg(setForMeter ? QStringLiteral("    chardelay: false\n") : QString())
                    .toUtf8();
    }
    const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(yaml) != yaml.size()) return false;
    file.close();
    // -n: in the foreground; -u: no lock files, which want a system folder.
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"),
                              config, QStringLiteral("-P"), m_dir.filePath(QStringLiteral("pid"))});
    if (!m_process.waitForStarted(kReadyMs)) {
        std::fprintf(stderr, "bench_link: %s did not start\n", qPrintable(program));
        return false;
    }
    // The loopback helpers are the ser2net tests' own.
    const bool listening = std::all_of(std::begin(m_ports), std::end(m_ports), [](int port) {
        return testing::acceptsWithin(port, kReadyMs);
    });
    if (listening && m_process.state() == QProcess::Running) return true;
    std::fprintf(stderr, "bench_link: ser2net did not listen: %s\n",
                 m_process.readAll().constData());
    return false;
}

Ser2netProcess::~Ser2netProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) m_process.kill();
        m_process.waitForFinished(1000);
    }
}

} // namespace kaldor::bench
