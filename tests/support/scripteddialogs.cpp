#include "tests/support/scripteddialogs.h"

#include <QPrinter>

namespace kaldor {

void ScriptedDialogs::message(QWidget*, const QString& text)
{
    m_shown.append({Shown::Message, text});
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
    m_shown.append({Shown::Save, d.filter});
    if (m_files.isEmpty()) {
        ++m_unscripted;
        return std::nullopt;
    }
    return m_files.dequeue();
}

std::optional<QString> ScriptedDialogs::openFileName(QWidget*, const FileDialog& d)
{
    m_shown.append({Shown::Open, d.filter});
    if (m_files.isEmpty()) {
        ++m_unscripted;
        return std::nullopt;
    }
    return m_files.dequeue();
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
