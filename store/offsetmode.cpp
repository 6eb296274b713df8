#include "store/offsetmode.h"

namespace kaldor {

QString offsetModeName(bool offsetMode)
{
    return offsetMode ? QStringLiteral("Meter Offset Capable")
                      : QStringLiteral("Meter Not Offset Capable");
}

QString titleFor(const QString& caption, bool offsetMode)
{
    return caption + QStringLiteral(" (") + offsetModeName(offsetMode) + u')';
}

} // namespace kaldor
