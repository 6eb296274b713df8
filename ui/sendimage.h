#pragma once
// Sending a whole image to the meter from a window: the request goes to the link, the window's
// progress bar (if it has one) runs from 0 while the blocks go out and is hidden afterwards, and
// the exchange's messages are shown to the window that asked.

#include "link/upload.h"

#include <functional>

class QProgressBar;
class QWidget;

namespace kaldor {

class Dialogs;
class Link;

// False, with the busy message shown, when another exchange runs. `finished` runs after the bar
// is hidden and before the messages are shown.
bool sendImage(Link& link, Dialogs& dialogs, QWidget* window, const UploadSource& source, UploadVariant variant,
               QProgressBar* bar, std::function<void()> finished = {});

// The same for an indicator file, checked whole before anything is sent; a file that is refused
// shows why.
bool sendIndicatorFile(Link& link, Dialogs& dialogs, QWidget* window, const QString& path, UploadVariant variant,
                       QProgressBar* bar);

} // namespace kaldor
