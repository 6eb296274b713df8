#pragma once
// Every message box, Yes/No question, file, folder and print dialog of the windows goes through
// Dialogs, so that the windows can be driven by tests without a modal loop: the program uses
// QtDialogs, the tests ScriptedDialogs, which records each text and answers from a queue.

#include <QString>
#include <optional>

class QPrinter;
class QWidget;

namespace kaldor {

inline const QString kApplicationTitle = QStringLiteral("KALDOR");

enum class QuestionIcon { None, Question, Exclamation, Critical, Information };
enum class Answer { Yes, No };

struct Question {
    QString text;
    QString title = kApplicationTitle;
    QuestionIcon icon = QuestionIcon::None;
    Answer defaultAnswer = Answer::Yes;
};

// A file dialog: filter in Qt form ("Indicator (*.idr)"), default suffix without the dot
// ("idr"), and whether saving over an existing file asks first.
struct FileDialog {
    QString title;
    QString filter;
    QString defaultSuffix;
    bool confirmOverwrite = true;
    QString directory;    // empty: the current directory
    QString proposedName; // a path the dialog starts with, selected; empty: none
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A box titled "KALDOR" with the text, one OK button and no icon.
    virtual void message(QWidget* parent, const QString& text) = 0;
    virtual Answer question(QWidget* parent, const Question& q) = 0;
    // The chosen path, or nullopt when the user cancels.
    virtual std::optional<QString> saveFileName(QWidget* parent, const FileDialog& d) = 0;
    virtual std::optional<QString> openFileName(QWidget* parent, const FileDialog& d) = 0;
    // An existing folder, starting in d.directory (the filter and suffix do not apply).
    virtual std::optional<QString> folderName(QWidget* parent, const FileDialog& d) = 0;
    // The desktop's print dialog set up on printer; false when the user cancels.
    virtual bool print(QWidget* parent, QPrinter& printer) = 0;
};

// Asks for a name to save to until it has the extension hasExtension looks for: every other
// name is answered kWrongExtensionMessage and the dialog comes again. nullopt when the user
// cancels, with no message.
std::optional<QString> askSaveFileName(Dialogs& dialogs, QWidget* parent, const FileDialog& dialog,
                                       bool (*hasExtension)(const QString&));

} // namespace kaldor
