#include "link/systemports.h"

#include <QSerialPortInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kaldor {

QList<SystemPort> systemSerialPorts()
{
    QList<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SystemPort p;
        p.name = info.portName();
        p.path = info.systemLocation();
        p.description = info.description();
        p.manufacturer = info.manufacturer();
        p.serialNumber = info.serialNumber();
        p.mayOpen = mayOpenDevice(p.path);
        ports.append(p);
    }
    return ports;
}

bool mayOpenDevice(const QString& path)
{
#ifdef Q_OS_UNIX
    return ::access(path.toLocal8Bit().constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(path);
    return true;
#endif
}

QString noAccessText(const QString& device)
{
    return QStringLiteral(
               "You may not open the serial port %1. Ask for membership of the group that owns it "
               "(usually dialout: sudo usermod -aG dialout $USER), then log in again.")
        .arg(device);
}

} // namespace kaldor
