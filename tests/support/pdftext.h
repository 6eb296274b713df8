#pragma once
// The text of a PDF as a reader finds it, through pdftotext (poppler-utils, which
// scripts/setup.sh installs): the pages apart at form feeds, blanks and line ends between
// words folded to one blank. Empty when pdftotext is missing or fails.

#include <QProcess>
#include <QString>

namespace kaldor::testing {

inline QStringList pdfPages(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    for (QString& page : pages)
        page = page.simplified();
    pages.removeAll(QString());
    return pages;
}

// Empty when the words apart at '|' stand on the page in that order; else the first that does
// not, with the page.
inline QString missingWords(const QString& page, const QString& words)
{
    qsizetype at = 0;
    for (const QString& part : words.split(QLatin1Char('|')))
        if ((at = page.indexOf(part, at)) < 0)
            return part + QStringLiteral("\nnot in order in\n") + page;
    return {};
}

} // namespace kaldor::testing
