#pragma once
// The clearit window, "Clear it?": asks before the meter's tank data is erased. "Yes" sends
// the clear command CL and says so; the meter gives no answer to it. Like every window's write
// it goes with the backup and the verify the link asks for. Once "Yes" has sent the command the
// window stays until its message has been answered, then closes.

#include <QWidget>

class QProgressBar;
class QPushButton;

namespace kaldor {

class Dialogs;
class Link;

class ClearWindow : public QWidget {
    Q_OBJECT
public:
    ClearWindow(Link& link, Dialogs& dialogs, QWidget* parent = nullptr);

protected:
    // Refused while the clear is on its way: the window stays for the clear's message.
    void closeEvent(QCloseEvent* event) override;

private:
    void sendClearCommand();

    Link& m_link;
    Dialogs& m_dialogs;
    bool m_running = false;       // the command is on its way; its message has not been answered
    QPushButton* m_yes = nullptr; // both disabled meanwhile
    QPushButton* m_cancel = nullptr;
    QProgressBar* m_progress = nullptr;
};

} // namespace kaldor
