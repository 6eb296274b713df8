#include "ui/dialogs.h"

#include "store/fileextensions.h"

namespace kaldor {

std::optional<QString> askSaveFileName(Dialogs& dialogs, QWidget* parent, const FileDialog& dialog,
                                       bool (*hasExtension)(const QString&))
{
    for (;;) {
        std::optional<QString> chosen = dialogs.saveFileName(parent, dialog);
        if (!chosen || hasExtension(*chosen)) return chosen;
        dialogs.message(parent, kWrongExtensionMessage);
    }
}

} // namespace kaldor
