#pragma once
// The Portscrn window, "Port Setting": the user picks port 1 to 4, or types a device path. It
// opens with the current port selected; OK closes the old port and opens the chosen one. Beside
// the options it lists the serial ports the system has, refreshed each time the window is
// shown; choosing one puts its path in the path field, and a port this user may not open is
// said so.

#include "link/serialport.h"
#include "link/systemports.h"
#include "store/limits.h"

#include <QMap>
#include <QWidget>

class QLabel;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace kaldor {

class Dialogs;
class Link;

class PortWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPorts = limits::kLastPort - limits::kFirstPort + 1;

    // devices maps a port option to the device it opens (--port N=DEVICE); an option not in
    // it opens the system's port of that number.
    PortWindow(Link& link, Dialogs& dialogs, QMap<int, QString> devices = {},
               QWidget* parent = nullptr);

    // The option of the current port, Port 1 when it is none of the four.
    void selectCurrentPort();
    // OK: the selected port replaces the open one.
    void choosePort();
    int selectedPort() const;
    // Where the list of system ports comes from (the system's own by default).
    void setPortSource(SystemPortSource source) { m_portSource = std::move(source); }
    void refreshSystemPorts();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void portOpened(const PortStatus& status);
    void systemPortChosen();

    Link& m_link;
    Dialogs& m_dialogs;
    QMap<int, QString> m_devices;
    QRadioButton* m_options[kPorts] = {};
    QLineEdit* m_path = nullptr;
    QTreeWidget* m_systemPorts = nullptr;
    QLabel* m_access = nullptr;
    SystemPortSource m_portSource = systemSerialPorts;
    bool m_opening = false; // the chosen port is being opened
};

} // namespace kaldor
