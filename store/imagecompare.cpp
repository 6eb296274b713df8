#include "store/imagecompare.h"

#include "store/celltexts.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace kaldor {

namespace {

// The index of the n-th record (from 1) with this tank number, or -1.
int findOccurrence(const QVector<TankRecord>& records, int tankNumber, int occurrence)
{
    for (int i = 0; i < records.size(); ++i) {
        if (records[i].tankNumber == tankNumber && --occurrence == 0) return i;
    }
    return -1;
}

int occurrenceOf(const QVector<TankRecord>& records, int index)
{
    int n = 0;
    for (int i = 0; i <= index; ++i)
        n += records[i].tankNumber == records[index].tankNumber ? 1 : 0;
    return n;
}

// The cell texts of one point only: making them for every point of every changed tank
// would cost more than the whole comparison.
QString pointText(const TankCurve& curve, int point)
{
    if (point < 1 || point > curve.points.size()) return QStringLiteral("no point");
    const CurvePoint& p = curve.points[point - 1];
    return (p.value ? valueCellText(*p.value).trimmed() : QStringLiteral("no value")) +
           QStringLiteral(" at ") + percentCellText(p.percent).trimmed() + QStringLiteral(" %");
}

QString wordText(const QVector<int>& words, int index)
{
    return index < words.size() ? QString::number(words[index]) : QStringLiteral("nothing");
}

// The first differing word of two records of one tank, named as the technician sees it.
void describeChange(const TankRecord& a, const TankRecord& b, bool offsetMode, TankDifference& d)
{
    const int common = int(std::min(a.words.size(), b.words.size()));
    int i = 0;
    while (i < common && a.words[i] == b.words[i])
        ++i;
    const int headWords = offsetMode ? 2 : 1;
    if (i < headWords) {
        d.where = i == 0 ? QStringLiteral("full scale") : QStringLiteral("offset");
        d.textA = wordText(a.words, i);
        d.textB = wordText(b.words, i);
        return;
    }
    d.point = (i - headWords) / 2 + 1;
    d.where = QStringLiteral("point %1").arg(d.point);
    d.textA = pointText(curveFromRecord(a, offsetMode), d.point);
    d.textB = pointText(curveFromRecord(b, offsetMode), d.point);
    if (d.textA == d.textB) { // words that read alike in the grid: show the words themselves
        const int first = headWords + 2 * (d.point - 1);
        d.textA += QStringLiteral(" (words %1, %2)")
                       .arg(wordText(a.words, first), wordText(a.words, first + 1));
        d.textB += QStringLiteral(" (words %1, %2)")
                       .arg(wordText(b.words, first), wordText(b.words, first + 1));
    }
}

void markRecords(const DecodeResult& decoded, std::vector<bool>& covered)
{
    for (const TankRecord& r : decoded.records) {
        const int end = std::min(r.start + 2 * int(r.words.size()), int(covered.size()));
        for (int p = std::max(r.start, 0); p < end; ++p)
            covered[std::size_t(p)] = true;
    }
}

std::optional<int> byteAt(const IndicatorImage& image, int address)
{
    return address < image.length() ? std::optional<int>(image.at(address)) : std::nullopt;
}

} // namespace

QVector<TankPair> pairTanks(const QVector<TankRecord>& a, const QVector<TankRecord>& b)
{
    QVector<TankPair> out;
    out.reserve(std::max(a.size(), b.size()));
    for (int i = 0; i < a.size(); ++i) {
        TankPair p;
        p.tankNumber = a[i].tankNumber;
        p.occurrence = occurrenceOf(a, i);
        p.indexA = i;
        p.indexB = findOccurrence(b, p.tankNumber, p.occurrence);
        p.state = p.indexB < 0                      ? TankState::OnlyInA
                  : b[p.indexB].words != a[i].words ? TankState::Changed
                                                    : TankState::Same;
        out.append(p);
    }
    for (int i = 0; i < b.size(); ++i) {
        const int occurrence = occurrenceOf(b, i);
        if (findOccurrence(a, b[i].tankNumber, occurrence) < 0)
            out.append({b[i].tankNumber, occurrence, TankState::OnlyInB, -1, i});
    }
    return out;
}

QString tankStateText(TankState state, const QString& nameA, const QString& nameB)
{
    switch (state) {
    case TankState::Same:
        return QStringLiteral("same");
    case TankState::Changed:
        return QStringLiteral("changed");
    case TankState::OnlyInA:
        return QStringLiteral("only in ") + nameA;
    case TankState::OnlyInB:
        break;
    }
    return QStringLiteral("only in ") + nameB;
}

QVector<CellDifference> differingCells(const TankRecord& a, const TankRecord& b, bool offsetMode)
{
    const QVector<CellRow> rowsA = curveCellRows(a, offsetMode);
    const QVector<CellRow> rowsB = curveCellRows(b, offsetMode);
    const CellRow none;
    QVector<CellDifference> out;
    for (int r = 0; r < std::max(rowsA.size(), rowsB.size()); ++r) {
        const CellRow& ra = r < rowsA.size() ? rowsA[r] : none;
        const CellRow& rb = r < rowsB.size() ? rowsB[r] : none;
        if (ra != rb) out.append({r + 1, ra.value != rb.value, ra.percent != rb.percent});
    }
    return out;
}

QVector<TankDifference> compareTankRecords(const QVector<TankRecord>& a,
                                           const QVector<TankRecord>& b, bool offsetMode)
{
    QVector<TankDifference> out;
    for (const TankPair& p : pairTanks(a, b)) {
        if (p.state == TankState::Same) continue;
        TankDifference d;
        d.tankNumber = p.tankNumber;
        d.occurrence = p.occurrence;
        if (p.state == TankState::OnlyInA)
            d.kind = TankDifference::Kind::OnlyInA;
        else if (p.state == TankState::OnlyInB)
            d.kind = TankDifference::Kind::OnlyInB;
        else
            describeChange(a[p.indexA], b[p.indexB], offsetMode, d);
        out.append(d);
    }
    return out;
}

ImageComparison compareImages(const IndicatorImage& a, const IndicatorImage& b, bool offsetMode)
{
    ImageComparison c;
    c.identical = a.length() == b.length() && a.bytes() == b.bytes();
    if (c.identical) return c;
    const int length = std::max(a.length(), b.length());
    std::vector<bool> covered(std::size_t(length), false);
    const DecodeResult da = decodeTankRecords(a);
    const DecodeResult db = decodeTankRecords(b);
    if (!da.ok() || !db.ok()) {
        c.undecodable = !da.ok() ? da.detail : db.detail;
    } else {
        c.tanks = compareTankRecords(da.records, db.records, offsetMode);
        markRecords(da, covered);
        markRecords(db, covered);
        if (!c.tanks.isEmpty()) {
            // The page mark, end pointer, count and directory follow the tanks: their
            // differences are the tanks' own.
            const int directoryEnd =
                layout::kDirectoryStart +
                layout::kDirectoryEntrySize * std::max(da.tankCount, db.tankCount);
            for (int p = layout::kPageMarkAddress; p < std::min(directoryEnd, length); ++p)
                covered[std::size_t(p)] = true;
        }
    }
    for (int p = 0; p < length; ++p) {
        if (covered[std::size_t(p)] || byteAt(a, p) == byteAt(b, p)) continue;
        if (!c.bytes.isEmpty() && c.bytes.last().address + c.bytes.last().count == p)
            ++c.bytes.last().count;
        else
            c.bytes.append({p, byteAt(a, p), byteAt(b, p), 1});
    }
    if (c.tanks.isEmpty() && c.bytes.isEmpty()) {
        // Records at other places with the same words: the first byte that differs says so.
        for (int p = 0; p < length; ++p) {
            if (byteAt(a, p) != byteAt(b, p)) {
                c.bytes.append({p, byteAt(a, p), byteAt(b, p), 1});
                break;
            }
        }
    }
    return c;
}

QString differenceLine(const TankDifference& d, const QString& nameA, const QString& nameB)
{
    QString tank = tankListText(d.tankNumber);
    if (d.occurrence > 1) tank += QStringLiteral(" (entry %1 with this number)").arg(d.occurrence);
    switch (d.kind) {
    case TankDifference::Kind::OnlyInA:
        return tank + QStringLiteral(": only in ") + nameA;
    case TankDifference::Kind::OnlyInB:
        return tank + QStringLiteral(": only in ") + nameB;
    case TankDifference::Kind::Changed:
        break;
    }
    return QStringLiteral("%1, %2: %3 in %4, %5 in %6")
        .arg(tank, d.where, d.textA, nameA, d.textB, nameB);
}

QString differenceLine(const ByteDifference& d, const QString& nameA, const QString& nameB)
{
    const auto text = [](const std::optional<int>& v) {
        return v ? QString::number(*v) : QStringLiteral("nothing");
    };
    QString line = QStringLiteral("Address %1: %2 in %3, %4 in %5")
                       .arg(d.address)
                       .arg(text(d.a), nameA, text(d.b), nameB);
    if (d.count > 1) line += QStringLiteral(" (%1 bytes from there)").arg(d.count);
    return line;
}

QStringList differenceLines(const ImageComparison& c, const QString& nameA, const QString& nameB)
{
    QStringList lines;
    for (const TankDifference& d : c.tanks)
        lines.append(differenceLine(d, nameA, nameB));
    for (const ByteDifference& d : c.bytes)
        lines.append(differenceLine(d, nameA, nameB));
    return lines;
}

ImageChanges imageChanges(const IndicatorImage& held, const IndicatorImage& written)
{
    ImageChanges out;
    const DecodeResult a = decodeTankRecords(held);
    const DecodeResult b = decodeTankRecords(written);
    if (!a.ok() || !b.ok()) return out;
    out.known = true;
    for (const TankPair& p : pairTanks(a.records, b.records)) {
        if (p.state == TankState::OnlyInA)
            out.dropped.append(p.tankNumber);
        else if (p.state == TankState::Changed)
            out.changed.append(p.tankNumber);
        else if (p.state == TankState::OnlyInB)
            out.added.append(p.tankNumber);
    }
    return out;
}

QString tankNumbersText(const QVector<int>& numbers)
{
    QStringList texts;
    for (const int n : numbers)
        texts.append(QString::number(n));
    if (texts.size() == 1) return QStringLiteral("tank ") + texts.first();
    const QString last = texts.takeLast();
    return QStringLiteral("tanks ") + texts.join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           last;
}

} // namespace kaldor
