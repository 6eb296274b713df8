#pragma once
// Files for the tests' comparisons: a whole file read, and the fixtures under tests/data.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace kaldor::testing {

// The file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A fixture under tests/data.
inline QString dataPath(const QString& name)
{
    return QStringLiteral(KALDOR_SOURCE_DIR "/tests/data/") + name;
}

// The worked example as the editor saves it: tank 5, points (100, 0 %), (600, 50 %) and
// (1100, 99.99 %), in the offset-capable layout (full scale 1000, offset -100) or the other
// (full scale 1100).
inline QByteArray threePointTankFile(bool offsetMode)
{
    return readFile(dataPath(offsetMode ? QStringLiteral("three-point/offset.tnk")
                                        : QStringLiteral("three-point/plain.tnk")));
}

// The words the meter receives for it after the tank number and the byte count.
inline QByteArray threePointBlock(bool offsetMode)
{
    return QByteArray::fromHex(offsetMode ? "03e8 8064 00000000 40013fff 7fff7fff"
                                          : "044c 00000ba2 400145d0 7fff7fff");
}

} // namespace kaldor::testing
