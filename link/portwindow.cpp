#include "link/portwindow.h"

#include "link/link.h"
#include "store/messages.h"
#include "ui/dialogs.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kaldor {

PortWindow::PortWindow(Link& link, Dialogs& dialogs, QMap<int, QString> devices, QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_devices(std::move(devices))
{
    setObjectName(QStringLiteral("Portscrn"));
    setWindowTitle(QStringLiteral("Port Setting"));

    auto* frame = new QGroupBox(QStringLiteral("Port"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(frame);
    for (int i = 0; i < kPorts; ++i) {
        m_options[i] = new QRadioButton(QStringLiteral("Port %1").arg(i + 1), frame);
        m_options[i]->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        options->addWidget(m_options[i]);
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command2"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command1"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &PortWindow::choosePort);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(&m_link, &Link::portOpened, this, [this](const PortStatus& status) {
        if (!m_waiting)
            return;
        m_waiting = false;
        if (status.error == PortError::HeldByOther) {
            // The port stays closed until the user chooses again.
            m_dialogs.message(this, QStringLiteral("Port unavailable. Choose another port."));
        } else if (!status.ok()) {
            m_dialogs.message(this, portErrorText(status));
            return; // open for another choice
        }
        close();
    });
    selectCurrentPort();
    setFixedSize(sizeHint());
}

void PortWindow::selectCurrentPort()
{
    const int current = m_link.portSpec().number;
    const int index = current >= 1 && current <= kPorts ? current - 1 : 0;
    m_options[index]->setChecked(true);
}

int PortWindow::selectedPort() const
{
    int port = 1;
    for (int i = 0; i < kPorts; ++i) {
        if (m_options[i]->isChecked())
            port = i + 1;
    }
    return port;
}

// The link closes the open port before it opens the chosen one.
void PortWindow::choosePort()
{
    if (m_waiting)
        return;
    const int port = selectedPort();
    if (m_link.openPort(PortSpec{port, m_devices.value(port)}))
        m_waiting = true;
    else
        m_dialogs.message(this, Link::kBusyMessage);
}

} // namespace kaldor
