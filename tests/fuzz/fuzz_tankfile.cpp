// Any bytes as a tank file: opening it as the editor does, checking and encoding the curve,
// the check every reader shares and the send it allows, and reading it as a build source, in
// both layouts.

#include "construct/indicatorbuilder.h"
#include "editor/tanksend.h"
#include "store/curvecheck.h"
#include "store/curvetable.h"
#include "store/tankfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

using namespace kaldor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kaldor-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("t.tnk"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    for (const bool offsetMode : {true, false}) {
        CurveTable table;
        const TankFileOpen opened = openTankFile(path, offsetMode, table);
        (void)opened;
        const CurveCheck check = validateCurve(table);
        if (check.curveValid) (void)encodeCurve(table, check.pointCount.value_or(0), offsetMode);

        const TankFileCheck checked = checkTankFile(path, offsetMode);
        if (checked.ok)
            (void)prepareTankSend(checked.table, checked.pointCount, checked.tankNumberText, {},
                                  offsetMode);

        const TankSourceResult source = readTankSource(path, offsetMode);
        if (source.ok) {
            BuildState state;
            (void)buildFromSources({source.source, source.source}, offsetMode, state);
        }
    }
    return 0;
}
