#pragma once
// What an operation tells the user, shown by a window: one message box for each message, in
// order, each waiting for its OK before the next. Once the parent has been destroyed, the rest
// are not shown.

#include "store/messages.h"

class QWidget;

namespace kaldor {

class Dialogs;

void showMessages(Dialogs& dialogs, QWidget* parent, const Messages& messages);

} // namespace kaldor
