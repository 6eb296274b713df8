#pragma once
// Writing to the meter from a window. Every write (an image, a single tank, a clear) goes to
// the link with the backup and the read-back verify the link's WriteSafety asks for. While it
// runs the window's progress bar (if it has one) shows the backup read, the write and the
// verify read in turn, and the bar and the status line name the step. When the backup read
// fails nothing is written: the user is asked whether to write without a backup (No the
// default). At the end one message box shows the exchange's own message and, after it, where
// the backup is kept and what the verify found.

#include "link/linestatus.h"
#include "link/safewrite.h"
#include "link/upload.h"

#include <functional>

class QLineEdit;
class QProgressBar;
class QWidget;

namespace kaldor {

class Dialogs;
class Link;

// What a window shows while a write runs; either may be null.
struct WriteView {
    QProgressBar* bar = nullptr;
    QLineEdit* status = nullptr;
};

using SafeUseCase = std::function<SafeWrite(ExchangeContext&, const SafeWriteOptions&)>;
// Runs once the write is over, after the bar is hidden; false when the window no longer shows
// anything (it was closed meanwhile).
using SafeFinished = std::function<bool(const SafeWrite&)>;
// Runs after the write's message has been answered (at once when none is shown): the place for
// a window that closes at the end of its write, which must not go while its message is open.
using SafeAnswered = std::function<void()>;

// False, with the busy message shown, when another exchange runs; otherwise `finished` and then
// `answered` run exactly once, unless the window has been destroyed by then. The question about
// a failed backup is asked only while the window is shown. The write's offset mode names the
// points of an image's verify.
bool writeSafely(Link& link, Dialogs& dialogs, QWidget* window, SafeUseCase useCase,
                 bool offsetMode, WriteView view, SafeFinished finished = {},
                 SafeAnswered answered = {}, ExchangeKind kind = ExchangeKind::Write);

// An image sent whole with safeUpload.
bool sendImage(Link& link, Dialogs& dialogs, QWidget* window, const UploadSource& source,
               UploadVariant variant, bool offsetMode, WriteView view, SafeFinished finished = {});

// The same for an indicator file, checked whole before anything is sent; a file that is refused
// shows why.
bool sendIndicatorFile(Link& link, Dialogs& dialogs, QWidget* window, const QString& path,
                       UploadVariant variant, bool offsetMode, WriteView view);

} // namespace kaldor
