#pragma once
// The Portscrn window, "Port Setting": the user picks port 1 to 4. It opens with the current
// port selected; OK closes the old port and opens the chosen one.

#include "link/serialport.h"

#include <QMap>
#include <QWidget>

class QRadioButton;

namespace kaldor {

class Dialogs;
class Link;

class PortWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPorts = 4;

    // devices maps a port option to the device it opens (--port N=DEVICE); an option not in
    // it opens the system's port of that number.
    PortWindow(Link& link, Dialogs& dialogs, QMap<int, QString> devices = {},
               QWidget* parent = nullptr);

    // The option of the current port, Port 1 when it is none of the four.
    void selectCurrentPort();
    // OK: the selected port replaces the open one.
    void choosePort();
    int selectedPort() const;

private:
    void portOpened(const PortStatus& status);

    Link& m_link;
    Dialogs& m_dialogs;
    QMap<int, QString> m_devices;
    QRadioButton* m_options[kPorts] = {};
    bool m_opening = false; // the chosen port is being opened
};

} // namespace kaldor
