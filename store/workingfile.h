#pragma once
// The working file: the image a read from the meter leaves, which a write sends back, kept
// until the program ends.

#include <QDate>
#include <QString>

namespace kaldor {

// All1.DAT in the current directory.
QString workingFilePath();

// The name proposed for keeping the working file's image as an indicator file: the day's
// meter-YYYY-MM-DD.idr beside the working file.
QString proposedIndicatorFilePath(const QDate& day = QDate::currentDate());

// Deletes the working file. Returns 0 when it is gone (a missing file included), otherwise
// the run-time error number of the failed delete (70 permission denied, 75 anything else).
int removeWorkingFile();

} // namespace kaldor
