#include "store/outputfile.h"

// The tank file's reader lives with the editor; the door needs it to know a tank file when it
// sees one, as it needs the indicator file's reader.
#include "store/indicatorfile.h"
#include "store/inputfile.h"
#include "store/limits.h"
#include "store/tankfile.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kaldor {

namespace {

std::optional<struct stat> statOf(const QString& path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

bool sameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString formName(OutputForm form)
{
    switch (form) {
    case OutputForm::IndicatorFile:
        return QStringLiteral("an indicator file");
    case OutputForm::TankFile:
        return QStringLiteral("a tank file");
    case OutputForm::Csv:
        return QStringLiteral("a CSV file");
    case OutputForm::Pdf:
        return QStringLiteral("a PDF");
    case OutputForm::Trace:
        return QStringLiteral("a trace");
    case OutputForm::Text:
        break;
    }
    return QStringLiteral("text");
}

// The program's own form a regular file holds, as its reader takes it; nullopt for anything
// else (a CSV file, a PDF, a trace, an empty file). A tank file records no layout, so both are
// tried.
std::optional<OutputForm> heldForm(const QString& path)
{
    const InputFile file = readInputFile(path);
    if (!file.ok()) return std::nullopt;
    if (loadIndicatorFileFromBytes(file.data).ok()) return OutputForm::IndicatorFile;
    if (parseTankFile(file.data, true).ok() || parseTankFile(file.data, false).ok())
        return OutputForm::TankFile;
    return std::nullopt;
}

QString nothingDone(const QString& sentence)
{
    return sentence + QStringLiteral("; nothing was done.");
}

std::optional<QString> refusalOf(const OutputFile& output, const QStringList& inputs)
{
    const std::optional<struct stat> target = statOf(output.path);
    if (!target) {
        // A new file: its folder must be there to take it.
        const QFileInfo where(output.path);
        if (!where.absoluteDir().exists())
            return nothingDone(
                QStringLiteral("%1: the folder %2 does not exist")
                    .arg(output.path, QDir::toNativeSeparators(where.absolutePath())));
        return std::nullopt;
    }
    if (S_ISDIR(target->st_mode))
        return nothingDone(QStringLiteral("%1 is a folder").arg(output.path));
    for (const QString& input : inputs) {
        const std::optional<struct stat> read = statOf(input);
        if (!read || !sameInode(*target, *read)) continue;
        return nothingDone(
            input == output.path
                ? QStringLiteral("%1 is one of the files this command reads").arg(output.path)
                : QStringLiteral("%1 is %2 under another name, a file this command reads")
                      .arg(output.path, input));
    }
    if (S_ISREG(target->st_mode)) {
        const std::optional<OutputForm> held = heldForm(output.path);
        if (held && *held != output.form)
            return nothingDone(QStringLiteral("%1 holds %2, which %3 would replace")
                                   .arg(output.path, formName(*held), formName(output.form)));
    }
    return std::nullopt;
}

} // namespace

bool sameFile(const QString& a, const QString& b)
{
    const std::optional<struct stat> first = statOf(a);
    const std::optional<struct stat> second = statOf(b);
    return first && second && sameInode(*first, *second);
}

std::optional<QString> outputRefusal(const QList<OutputFile>& outputs, const QStringList& inputs)
{
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        if (const auto refused = refusalOf(outputs[i], inputs)) return refused;
        for (qsizetype j = 0; j < i; ++j) {
            if (outputs[i].path == outputs[j].path)
                return nothingDone(QStringLiteral("%1 is named for two of this command's outputs")
                                       .arg(outputs[i].path));
            if (sameFile(outputs[i].path, outputs[j].path))
                return nothingDone(
                    QStringLiteral("%1 and %2 are the same file, and this command would write both")
                        .arg(outputs[j].path, outputs[i].path));
        }
    }
    return std::nullopt;
}

std::optional<QString> standardOutputRefusal(const QStringList& inputs)
{
    struct stat out {};
    if (::fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode)) return std::nullopt;
    for (const QString& input : inputs) {
        const std::optional<struct stat> read = statOf(input);
        if (read && sameInode(out, *read))
            return nothingDone(
                QStringLiteral("Standard output goes to %1, a file this command reads").arg(input));
    }
    return std::nullopt;
}

FileWriteResult finishStream(QTextStream& stream)
{
    errno = 0;
    stream.flush();
    auto* file = qobject_cast<QFileDevice*>(stream.device());
    const bool flushed = stream.status() == QTextStream::Ok && (!file || file->flush());
    if (flushed) return {true, 0, {}};
    const int e = errno;
    if (e != 0) return writeFailure(e);
    return {false, err::kPathAccess, file ? file->errorString() : QStringLiteral("short write")};
}

} // namespace kaldor
