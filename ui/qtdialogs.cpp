#include "ui/qtdialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

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

std::optional<QString> runFileDialog(QWidget* parent, const FileDialog& d, bool save)
{
    QFileDialog dialog(parent, d.title,
                       d.directory.isEmpty() ? QDir::currentPath() : d.directory);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!d.filter.isEmpty())
        dialog.setNameFilter(d.filter);
    if (!d.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(d.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !d.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

void QtDialogs::message(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

Answer QtDialogs::question(QWidget* parent, const Question& q)
{
    QMessageBox box(boxIcon(q.icon), q.title, q.text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(q.defaultAnswer == Answer::Yes ? QMessageBox::Yes : QMessageBox::No);
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

bool QtDialogs::print(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kaldor
