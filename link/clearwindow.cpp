#include "link/clearwindow.h"

#include "link/link.h"
#include "ui/dialogs.h"
#include "ui/sendimage.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Command2"));
    m_cancel->setDefault(true);

    // The backup read, the clear and the verify read. The window has room for the bar from the
    // start: shown, it sits below the whole question, never over it.
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbClear"));
    m_progress->setRange(0, 100);
    QSizePolicy keepRoom = m_progress->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keepRoom);
    m_progress->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_yes);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    // The window is as large as the wrapped question needs, whatever is shown below it.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(question);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(m_yes, &QPushButton::clicked, this, &ClearWindow::sendClearCommand);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::close);
}

// The meter gives no answer to CL: its message follows once the four bytes are written, and
// the verify's read tells whether the meter was cleared. The window closes once that message
// has been answered; Cancel can call nothing off meanwhile.
void ClearWindow::sendClearCommand()
{
    if (m_running) return; // a second click while the first is on its way sends nothing more
    const bool asked = writeSafely(
        m_link, m_dialogs, this,
        [](ExchangeContext& ctx, const SafeWriteOptions& options) {
            return safeClear(ctx, options);
        },
        true, WriteView{m_progress}, {},
        [this] {
            m_running = false;
            close();
        },
        ExchangeKind::Clear);
    if (!asked) return;
    m_running = true;
    m_yes->setEnabled(false);
    m_cancel->setEnabled(false);
}

void ClearWindow::closeEvent(QCloseEvent* event)
{
    if (m_running)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

} // namespace kaldor
