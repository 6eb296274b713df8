#include "link/clearwindow.h"

#include "link/link.h"
#include "ui/dialogs.h"
#include "ui/showmessages.h"

#include <QHBoxLayout>
#include <QLabel>
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
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    cancel->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_yes);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addLayout(buttons);

    connect(m_yes, &QPushButton::clicked, this, &ClearWindow::sendClearCommand);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(&m_link, &Link::finished, this, [this](ExchangeKind kind, const ExchangeResult& r) {
        if (kind != ExchangeKind::Clear || !m_waiting)
            return;
        m_waiting = false;
        showMessages(m_dialogs, this, clearMessages(r));
        close();
    });
}

// The meter gives no answer to CL: the message follows once the four bytes are written.
void ClearWindow::sendClearCommand()
{
    if (m_waiting)
        return; // a second click while the first is on its way sends nothing more
    if (m_link.clear()) {
        m_waiting = true;
        m_yes->setEnabled(false);
    } else {
        m_dialogs.message(this, Link::kBusyMessage);
    }
}

} // namespace kaldor
