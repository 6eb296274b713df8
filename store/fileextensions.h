#pragma once
// The file dialogs accept a name when it holds the extension in one of its two spellings
// anywhere in the path: "curve.tnk.bak" passes, "meter.Idr" does not. An output that is also
// an input is refused apart (outputAmongSources).

#include <QString>

namespace kaldor {

// What a file dialog or the tool says to a name without the extension it needs.
inline const QString kWrongExtensionMessage = QStringLiteral("Wrong file extension");

inline bool hasIndicatorExtension(const QString& path)
{
    return path.contains(QLatin1String(".idr")) || path.contains(QLatin1String(".IDR"));
}

inline bool hasTankExtension(const QString& path)
{
    return path.contains(QLatin1String(".tnk")) || path.contains(QLatin1String(".TNK"));
}

} // namespace kaldor
