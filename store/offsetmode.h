#pragma once
// The offset mode: whether the meter takes an offset word and negative values ("Meter Offset
// Capable", the mode of every start) or not ("Meter Not Offset Capable"). The main window's
// check box inverts it; most windows show it after their caption.

#include <QString>

namespace kaldor {

// "Meter Offset Capable" or "Meter Not Offset Capable".
QString offsetModeName(bool offsetMode);
// A window's title: the caption and the mode in brackets, "Edit Tank Data (Meter Offset
// Capable)".
QString titleFor(const QString& caption, bool offsetMode);

} // namespace kaldor
