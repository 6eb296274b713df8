#include "ui/sendimage.h"

#include "link/link.h"
#include "ui/dialogs.h"
#include "ui/showmessages.h"

#include <QPointer>
#include <QProgressBar>

namespace kaldor {

bool sendImage(Link& link, Dialogs& dialogs, QWidget* window, const UploadSource& source, UploadVariant variant,
               QProgressBar* bar, std::function<void()> finished)
{
    // The bar belongs to the window: the completion runs only while the window lives.
    const QPointer<QProgressBar> progress(bar);
    const bool asked = link.upload(
        window, source, variant,
        [&dialogs, window, progress, finished](const ExchangeResult& r, const IndicatorImage&) {
            if (progress)
                progress->setVisible(false);
            if (finished)
                finished();
            showMessages(dialogs, window, uploadMessages(r));
        },
        [progress](int percent) {
            if (progress)
                progress->setValue(percent);
        });
    if (!asked) {
        dialogs.message(window, Link::kBusyMessage);
        return false;
    }
    if (bar) {
        bar->setValue(0);
        bar->setVisible(true);
    }
    return true;
}

bool sendIndicatorFile(Link& link, Dialogs& dialogs, QWidget* window, const QString& path, UploadVariant variant,
                       QProgressBar* bar)
{
    const UploadPreparation prepared = uploadSourceFromFile(path, variant);
    if (!prepared.source) {
        showMessages(dialogs, window, prepared.messages);
        return false;
    }
    return sendImage(link, dialogs, window, *prepared.source, variant, bar);
}

} // namespace kaldor
