#pragma once
// The tank number Save As and Send ask for: the prompt Label2 and the entry that takes the number
// (text2 for a send, Text3 for a save) at the bottom of the editor. When the tank's number is
// known the entry opens with it, selected, so that Enter takes it and typing replaces it; the
// entry has the focus and a frame that stands out while it waits. Hidden, the prompt keeps its
// place, so that the grid above it does not move.

#include <QFrame>

class QLabel;
class QLineEdit;

namespace kaldor {

class Dialogs;

class TankNumberPrompt : public QFrame {
    Q_OBJECT
public:
    enum class Entry { Send, Save };

    TankNumberPrompt(Dialogs& dialogs, QWidget* parent);

    // Label2 back to "Enter Tank Address", a line break and "and press the Enter Key".
    void resetPromptText();
    // The entry shown with the prompt, holding `known` selected (empty when none is known), with
    // the focus; the other entry hidden and emptied.
    void ask(Entry entry, const QString& known = {});
    // Both entries hidden and emptied, the prompt hidden.
    void dismiss();

signals:
    // Enter in an entry holding a tank number 1 to 255: the text as typed. Any other text is
    // refused with its message, and the entry stays open, emptied, for another number.
    void entered(kaldor::TankNumberPrompt::Entry entry, const QString& text);
    // A key is about to go into Text3, which holds `text` before it.
    void saveKeyPressed(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* entryFor(Entry entry) const
    {
        return entry == Entry::Send ? m_sendEntry : m_saveEntry;
    }

    Dialogs& m_dialogs;
    QLabel* m_prompt = nullptr;       // Label2
    QWidget* m_entries = nullptr;     // the place the entries share
    QLineEdit* m_sendEntry = nullptr; // text2
    QLineEdit* m_saveEntry = nullptr; // Text3
};

} // namespace kaldor
