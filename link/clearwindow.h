#pragma once
// The clearit window, "Clear it?": asks before the meter's tank data is erased. "Yes" sends
// the clear command CL and says so; the meter gives no answer to it. Like every window's write
// it goes with the backup and the verify the link asks for.

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

private:
    void sendClearCommand();

    Link& m_link;
    Dialogs& m_dialogs;
    QPushButton* m_yes = nullptr; // disabled while the command is on its way
    QProgressBar* m_progress = nullptr;
};

} // namespace kaldor
