#include "link/serialport.h"

#include "link/networkport.h"
#include "link/qtserialport.h"
#include "store/messages.h"

namespace kaldor {

namespace {
using limits::kFirstPort;
using limits::kLastPort;
} // namespace

QString PortSpec::deviceName() const
{
    if (!devicePath.isEmpty()) return devicePath;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

std::optional<PortSpec> PortSpec::parse(const QString& text, QString* problem)
{
    const QString t = text.trimmed();
    if (NetworkAddress::isNetworkName(t)) {
        if (!NetworkAddress::parse(t, problem)) return std::nullopt;
        return PortSpec{kFirstPort, t};
    }
    bool isNumber = false;
    const int n = t.toInt(&isNumber);
    if (isNumber)
        return n >= kFirstPort && n <= kLastPort ? std::optional<PortSpec>(PortSpec{n, {}})
                                                 : std::nullopt;
    if (t.isEmpty()) return std::nullopt;
    return PortSpec{kFirstPort, t};
}

QString PortSpec::problem() const
{
    QString problem;
    if (NetworkAddress::isNetworkName(devicePath)) NetworkAddress::parse(devicePath, &problem);
    return problem;
}

std::unique_ptr<SerialPort> makeSerialPort(const PortSpec& portSpec)
{
    if (NetworkAddress::isNetworkName(portSpec.devicePath))
        return std::make_unique<NetworkPort>(portSpec.devicePath);
    return std::make_unique<QtSerialPort>(portSpec);
}

QString portErrorText(const PortStatus& status)
{
    const QString text = errorText(status.number());
    // The number alone does not say how to get access, nor which address failed.
    const bool explained =
        status.error == PortError::PermissionDenied || status.error == PortError::NoAnswer ||
        status.error == PortError::Refused || status.error == PortError::UnknownHost;
    if (explained && !status.text.isEmpty()) return text + QLatin1Char('\n') + status.text;
    return text;
}

} // namespace kaldor
