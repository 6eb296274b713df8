#include "link/portwindow.h"

#include "link/link.h"
#include "store/messages.h"
#include "ui/dialogs.h"
#include "ui/escapecloses.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kaldor {

PortWindow::PortWindow(Link& link, Dialogs& dialogs, QMap<int, QString> devices, QWidget* parent)
    : QWidget(parent, Qt::Window), m_link(link), m_dialogs(dialogs), m_devices(std::move(devices))
{
    setObjectName(QStringLiteral("Portscrn"));
    setWindowTitle(QStringLiteral("Port Setting"));
    closeOnEscape(this);

    auto* frame = new QGroupBox(QStringLiteral("Port"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(frame);
    for (int i = 0; i < kPorts; ++i) {
        m_options[i] = new QRadioButton(QStringLiteral("Port %1").arg(i + 1), frame);
        m_options[i]->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        options->addWidget(m_options[i]);
    }

    for (QRadioButton* option : m_options)
        connect(option, &QRadioButton::clicked, this, [this] { m_path->clear(); });
    auto* pathLabel = new QLabel(QStringLiteral("&Path:"), frame);
    m_path = new QLineEdit(frame);
    m_path->setObjectName(QStringLiteral("portPath"));
    m_path->setPlaceholderText(QStringLiteral("/dev/ttyUSB0 or tcp://HOST:PORT"));
    m_path->setToolTip(QStringLiteral(
        "A device path typed here is opened in place of the option chosen; so is a serial "
        "device server's address, tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (telnet with "
        "RFC 2217)"));
    pathLabel->setBuddy(m_path);
    options->addWidget(pathLabel);
    options->addWidget(m_path);

    auto* listed = new QGroupBox(QStringLiteral("Serial ports on this computer"), this);
    m_systemPorts = new QTreeWidget(listed);
    m_systemPorts->setObjectName(QStringLiteral("systemPorts"));
    m_systemPorts->setRootIsDecorated(false);
    m_systemPorts->setHeaderLabels({QStringLiteral("Port"), QStringLiteral("Description"),
                                    QStringLiteral("Manufacturer"),
                                    QStringLiteral("Serial number")});
    m_systemPorts->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_access = new QLabel(listed);
    m_access->setObjectName(QStringLiteral("portAccess"));
    m_access->setWordWrap(true);
    auto* listedLayout = new QVBoxLayout(listed);
    listedLayout->addWidget(m_systemPorts, 1);
    listedLayout->addWidget(m_access);
    connect(m_systemPorts, &QTreeWidget::itemSelectionChanged, this, &PortWindow::systemPortChosen);

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
    layout->addWidget(listed, 1);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &PortWindow::choosePort);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    selectCurrentPort();
    resize(sizeHint().width() + 200, sizeHint().height());
}

void PortWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshSystemPorts();
}

void PortWindow::refreshSystemPorts()
{
    const QList<SystemPort> ports = m_portSource ? m_portSource() : QList<SystemPort>();
    const QSignalBlocker quiet(m_systemPorts); // a refresh chooses nothing
    m_systemPorts->clear();
    QStringList said; // one sentence for each port this user may not open
    for (const SystemPort& p : ports) {
        auto* item = new QTreeWidgetItem(m_systemPorts,
                                         {p.name, p.description, p.manufacturer, p.serialNumber});
        item->setData(0, Qt::UserRole, p.path);
        item->setToolTip(0, p.path);
        if (!p.mayOpen) {
            item->setToolTip(0, noAccessText(p.path));
            item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
            said.append(noAccessText(p.path));
        }
    }
    if (ports.isEmpty())
        said.append(QStringLiteral(
            "The system lists no serial ports. Type the device path of the meter's line "
            "(a pseudo-terminal is never listed)."));
    m_access->setText(said.join(u'\n'));
    m_access->setVisible(!m_access->text().isEmpty());
}

void PortWindow::systemPortChosen()
{
    const QList<QTreeWidgetItem*> chosen = m_systemPorts->selectedItems();
    if (!chosen.isEmpty()) m_path->setText(chosen.constFirst()->data(0, Qt::UserRole).toString());
}

void PortWindow::selectCurrentPort()
{
    const int current = m_link.portSpec().number;
    const int index = limits::isPortNumber(current) ? current - limits::kFirstPort : 0;
    m_options[index]->setChecked(true);
    // A path the user typed (not the device an option stands for) is shown again.
    const PortSpec open = m_link.portSpec();
    m_path->setText(open.devicePath == m_devices.value(open.number) ? QString() : open.devicePath);
}

int PortWindow::selectedPort() const
{
    int port = 1;
    for (int i = 0; i < kPorts; ++i) {
        if (m_options[i]->isChecked()) port = i + 1;
    }
    return port;
}

// The link closes the open port before it opens the chosen one.
void PortWindow::choosePort()
{
    if (m_opening) return;
    const int port = selectedPort();
    const QString typed = m_path->text().trimmed();
    const PortSpec chosen{port, typed.isEmpty() ? m_devices.value(port) : typed};
    if (const QString problem = chosen.problem(); !problem.isEmpty()) {
        m_dialogs.message(this, problem); // the window stays open for another address
        return;
    }
    if (m_link.openPort(this, chosen, [this](const PortStatus& s) { portOpened(s); }))
        m_opening = true;
    else
        m_dialogs.message(this, Link::kBusyMessage);
}

void PortWindow::portOpened(const PortStatus& status)
{
    m_opening = false;
    if (status.error == PortError::HeldByOther) {
        // The port stays closed until the user chooses again.
        m_dialogs.message(this, QStringLiteral("Port unavailable. Choose another port."));
    } else if (!status.ok()) {
        m_dialogs.message(this, portErrorText(status));
        return; // open for another choice
    }
    close();
}

} // namespace kaldor
