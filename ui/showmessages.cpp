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

} // namespace kaldor
