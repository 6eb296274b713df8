#include "ui/qtdialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>

#include <utility>

namespace kaldor {

namespace {

QMessageBox::Icon boxIcon(QuestionIcon icon)
{
    switch (icon) {
    case QuestionIcon::Question:
        return QMessageBox::Question;
    case QuestionIcon::Exclamation:
        return QMessageBox::Warning;
    case QuestionIcon::Critical:
        return QMessageBox::Critical;
    case QuestionIcon::Information:
        return QMessageBox::Information;
    case QuestionIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A dialog made on the heap as a child of its parent window. When the window is destroyed while
// the dialog runs (something the dialog's event loop delivered closed it), the dialog goes with
// it and exec() returns at once: nothing is deleted twice, and the answer is the safe one (No,
// Cancel). Otherwise the dialog is deleted once it has been answered.
template <class D> class OwnedDialog {
public:
    template <class... Args>
    explicit OwnedDialog(Args&&... args) : m_dialog(new D(std::forward<Args>(args)...))
    {
    }
    ~OwnedDialog() { delete m_dialog.data(); }
    OwnedDialog(const OwnedDialog&) = delete;
    OwnedDialog& operator=(const OwnedDialog&) = delete;

    D* operator->() const { return m_dialog.data(); }
    // The dialog's result; Rejected when it went with its parent.
    int exec()
    {
        const int result = m_dialog->exec();
        return m_dialog ? result : int(QDialog::Rejected);
    }

private:
    QPointer<D> m_dialog;
};

std::optional<QString> runFileDialog(QWidget* parent, const FileDialog& d, bool save)
{
    OwnedDialog<QFileDialog> dialog(parent, d.title,
                                    d.directory.isEmpty() ? QDir::currentPath() : d.directory);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!d.filter.isEmpty()) dialog->setNameFilter(d.filter);
    if (!d.defaultSuffix.isEmpty()) dialog->setDefaultSuffix(d.defaultSuffix);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !d.confirmOverwrite);
    if (!d.proposedName.isEmpty()) dialog->selectFile(d.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

} // namespace

void QtDialogs::message(QWidget* parent, const QString& text)
{
    OwnedDialog<QMessageBox> box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok,
                                 parent);
    box.exec();
}

Answer QtDialogs::question(QWidget* parent, const Question& q)
{
    OwnedDialog<QMessageBox> box(boxIcon(q.icon), q.title, q.text,
                                 QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(q.defaultAnswer == Answer::Yes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<QString> QtDialogs::saveFileName(QWidget* parent, const FileDialog& d)
{
    return runFileDialog(parent, d, true);
}

std::optional<QString> QtDialogs::openFileName(QWidget* parent, const FileDialog& d)
{
    return runFileDialog(parent, d, false);
}

std::optional<QString> QtDialogs::folderName(QWidget* parent, const FileDialog& d)
{
    OwnedDialog<QFileDialog> dialog(parent, d.title,
                                    d.directory.isEmpty() ? QDir::currentPath() : d.directory);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().constFirst();
}

bool QtDialogs::print(QWidget* parent, QPrinter& printer)
{
    OwnedDialog<QPrintDialog> dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kaldor
