#pragma once
// Comparing two images tank by tank: which tanks only one of them holds, and for a tank both
// hold with other words, its first differing point as the grid's cell texts on both sides.
// Bytes that lie in no record differ by address. The container's form and its trailing value
// are not part of an image, so they never count.

#include "store/indicatorimage.h"
#include "store/tankrecords.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace kaldor {

struct TankDifference {
    enum class Kind { OnlyInA, OnlyInB, Changed };
    Kind kind = Kind::Changed;
    int tankNumber = 0;
    int occurrence = 1; // the n-th directory entry with this number (a number may repeat)
    // Changed: where the first differing word lies. "full scale", "offset" or "point k".
    QString where;
    int point = 0; // k for a point, 0 for the full scale and the offset
    QString textA; // what A holds there: "1000 at 50.00 %", the word, or "nothing"
    QString textB;
};

struct ByteDifference {
    int address = 0;
    std::optional<int> a; // nullopt past the image's length
    std::optional<int> b;
    int count = 1; // differing bytes in the run that starts here
};

struct ImageComparison {
    bool identical = true; // the same counted length and the same bytes
    QVector<TankDifference> tanks;
    QVector<ByteDifference> bytes; // runs of differing bytes outside every record
    QString undecodable;           // why an image could not be read as tanks: bytes only then
};

// How a tank of either image stands against the other.
enum class TankState { Same, Changed, OnlyInA, OnlyInB };

// One tank paired with its namesake on the other side.
struct TankPair {
    int tankNumber = 0;
    int occurrence = 1;
    TankState state = TankState::Same;
    int indexA = -1; // its record in A, -1 when A does not hold it
    int indexB = -1;
};

// Every tank of both, paired by number and occurrence: A's in directory order, then those
// only in B.
QVector<TankPair> pairTanks(const QVector<TankRecord>& a, const QVector<TankRecord>& b);

// "same", "changed", "only in " and the side's name.
QString tankStateText(TankState state, const QString& nameA, const QString& nameB);

// A row of the curve grid (point 1 ..) whose VALUE or percentage cell reads differently on
// the two sides; a point one side lacks reads as empty cells there.
struct CellDifference {
    int point = 0;
    bool value = false;
    bool percent = false;
    friend bool operator==(const CellDifference&, const CellDifference&) = default;
};
QVector<CellDifference> differingCells(const TankRecord& a, const TankRecord& b, bool offsetMode);

// The tanks that differ, paired as pairTanks pairs them.
QVector<TankDifference> compareTankRecords(const QVector<TankRecord>& a,
                                           const QVector<TankRecord>& b, bool offsetMode);
ImageComparison compareImages(const IndicatorImage& a, const IndicatorImage& b, bool offsetMode);

// kaldorctl diff's lines, naming the sides nameA and nameB:
//   "Tank  7: only in A.idr"   "Tank  7, point 3: 1000 at 50.00 % in A.idr, 1005 at 50.00 % in
//   meter" "Address 17: 2 in A.idr, 3 in meter (5 bytes from there)"
QString differenceLine(const TankDifference& d, const QString& nameA, const QString& nameB);
QString differenceLine(const ByteDifference& d, const QString& nameA, const QString& nameB);
// Every line, tanks first; none when identical.
QStringList differenceLines(const ImageComparison& c, const QString& nameA, const QString& nameB);

// What writing an image over the one the meter holds does to the meter's tanks, paired as
// pairTanks pairs them. known is false when either image cannot be read as tanks: nothing can
// be said of its tanks then.
struct ImageChanges {
    bool known = false;
    QVector<int> dropped; // the meter holds them, the image written does not
    QVector<int> changed; // both hold them, with other words
    QVector<int> added;   // only the image written holds them
};
ImageChanges imageChanges(const IndicatorImage& held, const IndicatorImage& written);

// "tank 7", "tanks 3, 8 and 12"
QString tankNumbersText(const QVector<int>& numbers);

} // namespace kaldor
