#include "shell/saveretrieved.h"

#include "store/atomicfile.h"
#include "store/fileextensions.h"
#include "store/messages.h"
#include "store/workingfile.h"
#include "ui/dialogs.h"

#include <QFileInfo>

namespace kaldor {

namespace {

// A name the file system cannot take as a file: no file part, a folder, a NUL character.
bool isBadFileName(const QString& path)
{
    const QFileInfo info(path);
    return info.fileName().isEmpty() || info.isDir() || path.contains(QChar(u'\0'));
}

} // namespace

void saveRetrievedIndicatorFile(QWidget* parent, Dialogs& dialogs, const QString& workingFile)
{
    FileDialog dialog;
    dialog.title = QStringLiteral("Save Retrieved Indicator File");
    dialog.filter = QStringLiteral("Indicator (*.idr)");
    dialog.defaultSuffix = QStringLiteral("idr");
    dialog.confirmOverwrite = true;
    dialog.proposedName = proposedIndicatorFilePath();

    const std::optional<QString> chosen =
        askSaveFileName(dialogs, parent, dialog, hasIndicatorExtension);
    if (!chosen) return; // cancelled: no message
    const QString path = *chosen;

    // The working file is looked for first, as the copy would: without it the name does not
    // matter.
    FileWriteResult result;
    if (!QFileInfo::exists(workingFile))
        result = {false, err::kFileNotFound, {}};
    else if (isBadFileName(path))
        result = {false, err::kBadFileName, {}};
    else
        result = copyFileAtomically(workingFile, path);
    if (result.ok) {
        dialogs.message(parent, path + QStringLiteral(" saved."));
        return;
    }
    switch (result.errorNumber) {
    case err::kFileNotFound:
        dialogs.message(parent, QStringLiteral("Get Indicator data first."));
        break;
    case err::kBadFileName:
        dialogs.message(parent, QStringLiteral("Bad filename."));
        break;
    default:
        dialogs.message(parent, errorText(result.errorNumber));
        break;
    }
}

} // namespace kaldor
