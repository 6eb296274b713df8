#pragma once
// The working file: the image a read from the meter leaves, which a write sends back, kept
// until the program ends.

#include <QString>

namespace kaldor {

// All1.DAT in the current directory.
QString workingFilePath();

} // namespace kaldor
