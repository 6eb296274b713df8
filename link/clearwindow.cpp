#include "link/clearwindow.h"

#include "link/link.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kaldor {

namespace {
constexpr int kTextWidth = 320;
}

ClearWindow::ClearWindow(Link& link, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("clearit"));
    setWindowTitle(QStringLiteral("Clear it?"));

    auto* question = new QLabel(
        QStringLiteral("Clearing the indicator will erase all tank data from the indicator. Are "
                       "you sure you want to clear the indicator?"),
        this);
    question->setObjectName(QStringLiteral("Label1"));
    question->setWordWrap(true);
    question->setFixedWidth(kTextWidth);

    m_yes = new QPushButton(QStringLiteral("Yes"), this);
    m_yes->setObjectName(QStringLiteral("Command1"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    cancel->setDefault(true);

    // The backup read, the clear and the verify read.
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbClear"));
    m_progress->setRange(0, 100);
    m_progress->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_yes);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(m_yes, &QPushButton::clicked, this, &ClearWindow::sendClearCommand);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

// The meter gives no answer to CL: its message follows once the four bytes are written, and
// the verify's read tells whether the meter was cleared.
void ClearWindow::sendClearCommand()
{
    if (!m_yes->isEnabled())
        return; // a second click while the first is on its way sends nothing more
    const bool asked = writeSafely(
        m_link, m_dialogs, this,
        [](ExchangeContext& ctx, const SafeWriteOptions& options) {
            return safeClear(ctx, options);
        },
        true, WriteView{m_progress},
        [this](const SafeWrite&) {
            QTimer::singleShot(0, this, &QWidget::close); // after its message
            return true;
        });
    if (asked) m_yes->setEnabled(false);
}

} // namespace kaldor
