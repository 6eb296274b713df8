#pragma once
// Dialogs for tests: nothing is shown. Every message, question and file dialog is recorded
// in order; questions and file dialogs take their answers from queues filled beforehand.
// A file dialog with nothing queued is cancelled; a question with nothing queued gets its
// default answer and is counted as unscripted, so a test can tell it was not expected.

#include "ui/dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

namespace kaldor {

class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        enum Kind { Message, Question, Save, Open, Folder, Print } kind;
        QString text; // the message or question; a file dialog's filter, a folder dialog's title
        Answer defaultAnswer = Answer::Yes; // a question's
    };

    void message(QWidget* parent, const QString& text) override;
    Answer question(QWidget* parent, const Question& q) override;
    std::optional<QString> saveFileName(QWidget* parent, const FileDialog& d) override;
    std::optional<QString> openFileName(QWidget* parent, const FileDialog& d) override;
    // Takes its answer from the file queue.
    std::optional<QString> folderName(QWidget* parent, const FileDialog& d) override;
    // The print dialog takes its answer from the file queue: a path prints to that PDF file,
    // nothing queued or an empty optional cancels.
    bool print(QWidget* parent, QPrinter& printer) override;

    void queueAnswer(Answer a) { m_answers.enqueue(a); }
    // An empty optional answers the dialog with Cancel.
    void queueFileName(std::optional<QString> path) { m_files.enqueue(std::move(path)); }

    const QList<Shown>& shown() const { return m_shown; }
    // The texts of the message boxes only, in order.
    QStringList messages() const;
    int unscripted() const { return m_unscripted; }
    void clear();

private:
    // A file or folder dialog: recorded, then answered from the file queue.
    std::optional<QString> nextFile(Shown::Kind kind, const QString& text);

    QList<Shown> m_shown;
    QQueue<Answer> m_answers;
    QQueue<std::optional<QString>> m_files;
    int m_unscripted = 0;
};

} // namespace kaldor
