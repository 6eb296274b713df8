#pragma once
// A whole file read for the tests' comparisons.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace kaldor::testing
{

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace kaldor::testing
