#include "ui/showmessages.h"

#include "ui/dialogs.h"

namespace kaldor {

void showMessages(Dialogs& dialogs, QWidget* parent, const Messages& messages)
{
    for (const Message& m : messages)
        dialogs.message(parent, m.text);
}

} // namespace kaldor
