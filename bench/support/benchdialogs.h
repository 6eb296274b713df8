#pragma once
// What the window benches share: dialogs that show nothing, and Qt's offscreen platform when
// there is no display. A bench expects no box: a message or a question is printed and kept, a
// question takes its default answer and a file or print dialog is cancelled.

#include "ui/dialogs.h"

#include <QByteArray>
#include <QStringList>
#include <cstdio>

namespace kaldor::bench {

class QuietDialogs : public Dialogs {
public:
    explicit QuietDialogs(const char* bench) : m_bench(bench) {}

    void message(QWidget*, const QString& text) override
    {
        std::fprintf(stderr, "%s: message \"%s\"\n", m_bench, qPrintable(text));
        messages.append(text);
    }
    Answer question(QWidget*, const Question& q) override
    {
        std::fprintf(stderr, "%s: question \"%s\"\n", m_bench, qPrintable(q.text));
        messages.append(q.text);
        return q.defaultAnswer;
    }
    std::optional<QString> saveFileName(QWidget*, const FileDialog&) override
    {
        return std::nullopt;
    }
    std::optional<QString> openFileName(QWidget*, const FileDialog&) override
    {
        return std::nullopt;
    }
    std::optional<QString> folderName(QWidget*, const FileDialog&) override { return std::nullopt; }
    bool print(QWidget*, QPrinter&) override { return false; }

    QStringList messages; // messages and questions, in order

private:
    const char* m_bench;
};

// Before the QApplication: offscreen unless a platform is named or an X display is there.
inline void offscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace kaldor::bench
