#pragma once
// "Save Indicator File": the image of the last build written as a constructed indicator file.
// The window asks for the name; everything after the name is chosen happens here.

#include "construct/indicatorbuilder.h"
#include "store/messages.h"

#include <QDir>
#include <QString>
#include <QStringList>

namespace kaldor {

inline const QString kNotBuiltMessage = QStringLiteral("File not built yet");

// A build can be saved once one was made and as long as the list still names a tank.
inline bool canSaveBuild(const BuildState& state, const QStringList& fileNames)
{
    return state.built && !fileNames.isEmpty();
}

// Writes the last build to path, atomically: "<path> saved." on success; "File not built
// yet" when there is nothing to save; the refusal of a path that is one of the listed tank
// files (resolved against directory); "Error:  n" when the file cannot be written, which leaves
// any older file at path as it was. The build state is not changed.
Messages saveConstructedFile(const QString& path, const BuildState& state,
                             const QStringList& fileNames, const QDir& directory);

} // namespace kaldor
