#pragma once
// The file dialogs accept a name when it holds the extension in one of its two spellings
// anywhere in the path: "curve.tnk.bak" passes, "meter.Idr" does not.

#include <QString>

namespace kaldor {

inline bool hasIndicatorExtension(const QString& path)
{
    return path.contains(QLatin1String(".idr")) || path.contains(QLatin1String(".IDR"));
}

} // namespace kaldor
