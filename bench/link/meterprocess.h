#pragma once
// The meter for bench_link: kaldor-sim started as a process, serving a pseudo-terminal whose
// name it prints first; stopped when this goes.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace kaldor::bench {

class MeterProcess {
public:
    MeterProcess() = default;
    MeterProcess(const MeterProcess&) = delete;
    MeterProcess& operator=(const MeterProcess&) = delete;
    ~MeterProcess();

    // False (and said) when the program does not start or names no device.
    bool start(const QString& program, const QStringList& args);
    QString device() const { return m_device; }

private:
    QProcess m_process;
    QString m_device;
};

} // namespace kaldor::bench
