#pragma once
// The Cali window, "Program and Calibrate": a remote keypad for the meter. Opening it puts the
// meter into its programming mode (PG); UP, DOWN and SET press the meter's keys (UP, DN, SW).
// Nothing is read back. The main window steps aside while it is open.

#include "link/panelcommands.h"

#include <QList>
#include <QWidget>

namespace kaldor {

class Dialogs;
class Link;

class KeypadWindow : public QWidget {
    Q_OBJECT
public:
    KeypadWindow(Link& link, Dialogs& dialogs, QWidget* parent = nullptr);

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void press(KeypadKey key, bool discardFirst = false);
    void keySent(const ExchangeResult& result);

    Link& m_link;
    Dialogs& m_dialogs;
    bool m_opened = false;
    bool m_waiting = false;    // a key is on its way to the meter
    QList<KeypadKey> m_queued; // keys pressed meanwhile, sent in turn
};

} // namespace kaldor
