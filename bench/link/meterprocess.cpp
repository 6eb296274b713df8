#include "bench/link/meterprocess.h"

#include <cstdio>

namespace kaldor::bench {

bool MeterProcess::start(const QString& program, const QStringList& args)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, args);
    if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
        m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (m_device.isEmpty())
        std::fprintf(stderr, "bench_link: %s did not start\n", qPrintable(program));
    return !m_device.isEmpty();
}

MeterProcess::~MeterProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) m_process.kill();
        m_process.waitForFinished(1000);
    }
}

} // namespace kaldor::bench
