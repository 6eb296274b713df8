#pragma once
// What an operation tells the user, shown by a window: one message box for each message, in
// order, each waiting for its OK before the next. Once the parent has been destroyed, the rest
// are not shown.

#include "store/messages.h"
#include "store/outputfile.h"

class QWidget;

namespace kaldor {

class Dialogs;

void showMessages(Dialogs& dialogs, QWidget* parent, const Messages& messages);

// A window's output held to the rules every output keeps (outputRefusal): true, after showing
// why, when the file chosen may not be written as `form`.
bool outputRefused(Dialogs& dialogs, QWidget* parent, const QString& path, OutputForm form);

} // namespace kaldor
