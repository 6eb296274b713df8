#pragma once
// Every file KALDOR writes goes through here: the data is written to a temporary file beside
// the target and renamed over it only when every byte was stored, so a failed or interrupted
// save leaves the old file as it was. A FIFO or a character device is written into instead,
// never replaced; its bytes are checked as well. Which outputs may be written at all is
// asked first, of store/outputfile.h.

#include <QByteArray>
#include <QString>

namespace kaldor {

struct FileWriteResult {
    bool ok = false;
    int errorNumber = 0; // run-time error number when !ok (61 disk full, 70 permission, 75 ...)
    QString detail;      // the system's own reason, for logs and the headless tool
};

FileWriteResult writeFileAtomically(const QString& path, const QByteArray& data);

// A write that failed with the system's error e: disk full (61), permission (70) or path (75),
// with why, or else the system's own words, as the detail.
FileWriteResult writeFailure(int e, const QString& why = {});

// Copies an indicator file, read through readInputFile, with writeFileAtomically. A missing
// source gives error 53.
FileWriteResult copyFileAtomically(const QString& from, const QString& to);

} // namespace kaldor
