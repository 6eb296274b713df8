#include "ui/showmessages.h"

#include "ui/dialogs.h"

#include <QPointer>
#include <QWidget>

namespace kaldor {

void showMessages(Dialogs& dialogs, QWidget* parent, const Messages& messages)
{
    const QPointer<QWidget> window(parent);
    for (const Message& m : messages) {
        if (parent && !window) return; // the window went while a box was open
        dialogs.message(window, m.text);
    }
}

bool outputRefused(Dialogs& dialogs, QWidget* parent, const QString& path, OutputForm form)
{
    const std::optional<QString> why = outputRefusal({{path, form}}, {});
    if (why) dialogs.message(parent, *why);
    return why.has_value();
}

} // namespace kaldor
