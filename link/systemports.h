#pragma once
// The serial ports the system has, as QSerialPortInfo lists them, each with whether this user
// may open it. Pseudo-terminals are not listed: the port window takes a typed path for them.

#include <QList>
#include <QString>
#include <functional>

namespace kaldor {

struct SystemPort {
    QString name; // ttyUSB0, COM3
    QString path; // the device to open: /dev/ttyUSB0, COM3
    QString description;
    QString manufacturer;
    QString serialNumber;
    bool mayOpen = true; // false when the device exists but this user may not read and write it
};

using SystemPortSource = std::function<QList<SystemPort>()>;

QList<SystemPort> systemSerialPorts();

// True when this user may read and write the device (always true where that cannot be told).
bool mayOpenDevice(const QString& path);

// The sentence a user who may not open a port is given: what to ask for.
QString noAccessText(const QString& device);

} // namespace kaldor
