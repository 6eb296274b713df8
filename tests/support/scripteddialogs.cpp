#include "tests/support/scripteddialogs.h"

#include <QPrinter>

namespace kaldor {

void ScriptedDialogs::message(QWidget*, const QString& text)
{
    m_shown.append({Shown::Message, text});
}

std::optional<QString> ScriptedDialogs::nextFile(Shown::Kind kind, const QString& text)
{
    m_shown.append({kind, text});
    if (m_files.isEmpty()) {
        ++m_unscripted;
        return std::nullopt;
    }
    return m_files.dequeue();
}

Answer ScriptedDialogs::question(QWidget*, const Question& q)
{
    m_shown.append({Shown::Question, q.text, q.defaultAnswer});
    if (m_answers.isEmpty()) {
        ++m_unscripted;
        return q.defaultAnswer;
    }
    return m_answers.dequeue();
}

std::optional<QString> ScriptedDialogs::saveFileName(QWidget*, const FileDialog& d)
{
    return nextFile(Shown::Save, d.filter);
}

std::optional<QString> ScriptedDialogs::openFileName(QWidget*, const FileDialog& d)
{
    return nextFile(Shown::Open, d.filter);
}

std::optional<QString> ScriptedDialogs::folderName(QWidget*, const FileDialog& d)
{
    return nextFile(Shown::Folder, d.title);
}

bool ScriptedDialogs::print(QWidget*, QPrinter& printer)
{
    m_shown.append({Shown::Print, printer.docName()});
    const std::optional<QString> path = m_files.isEmpty() ? std::nullopt : m_files.dequeue();
    if (!path) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(*path);
    return true;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList texts;
    for (const Shown& s : m_shown) {
        if (s.kind == Shown::Message) texts.append(s.text);
    }
    return texts;
}

void ScriptedDialogs::clear()
{
    m_shown.clear();
    m_answers.clear();
    m_files.clear();
    m_unscripted = 0;
}

} // namespace kaldor
