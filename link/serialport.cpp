#include "link/serialport.h"

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

std::optional<PortSpec> PortSpec::parse(const QString& text)
{
    const QString t = text.trimmed();
    bool isNumber = false;
    const int n = t.toInt(&isNumber);
    if (isNumber)
        return n >= kFirstPort && n <= kLastPort ? std::optional<PortSpec>(PortSpec{n, {}})
                                                 : std::nullopt;
    if (t.isEmpty()) return std::nullopt;
    return PortSpec{kFirstPort, t};
}

QString portErrorText(const PortStatus& status)
{
    const QString text = errorText(status.number());
    if (status.error == PortError::PermissionDenied && !status.text.isEmpty())
        return text + QLatin1Char('\n') + status.text;
    return text;
}

} // namespace kaldor
