#pragma once
// Every output of a run leaves through one door. Before anything is sent or written, the
// outputs are held against the run's inputs and against what they would replace; the bytes
// then go out through writeFileAtomically (store/atomicfile.h), which writes into a FIFO or a
// device instead of putting a file in its place and checks every byte; a stream such as
// standard output is ended with finishStream, which checks its bytes the same way.

#include "store/atomicfile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace kaldor {

// What an output holds once written.
enum class OutputForm { IndicatorFile, TankFile, Csv, Pdf, Trace, Text };

struct OutputFile {
    QString path;
    OutputForm form = OutputForm::Text;
};

// True when both names reach the same file: the same device and inode once links are followed,
// so a hard link, a symbolic link or "dir/../a.idr" count. False when either does not exist.
bool sameFile(const QString& a, const QString& b);

// Why these outputs may not be written, in a sentence that names the file; nullopt when they
// may. An output is refused when
//  - it is one of the inputs, or another of the outputs, under any name;
//  - it holds an indicator file or a tank file (as their readers take it) and would be written
//    as something else: a CSV file, a PDF or a trace never replaces one, an indicator file
//    never replaces a tank file, nor a tank file an indicator file;
//  - it is a folder, or the folder it would be in does not exist.
std::optional<QString> outputRefusal(const QList<OutputFile>& outputs, const QStringList& inputs);

// The same for standard output when it is a regular file: it may not be one of the inputs
// ("kaldorctl show a.idr >> a.idr").
std::optional<QString> standardOutputRefusal(const QStringList& inputs);

// Flushes a stream that writes to a file or a device (standard output): when any of its bytes
// was not taken (a full disk, /dev/full, a closed terminal), the result says so with the
// system's reason.
FileWriteResult finishStream(QTextStream& stream);

} // namespace kaldor
