#pragma once
// Tank files (*.tnk): one tank's curve with its tank number, in formatted print:
//   the tank number as typed, CR LF
//   the full scale as a number (" 1000 "), CR LF
//   the offset as a number, CR LF            (offset-capable layout only)
//   the point count as a number, CR LF
//   per point: the VALUE text, ", ", the percentage text, ","   (no line end at all)
// The file records no layout: it is read in the layout that is current when it is read.

#include "store/curvecheck.h"
#include "store/curvetable.h"
#include "store/fileextensions.h"
#include "store/messages.h"
#include "store/tankrecords.h"

#include <optional>

namespace kaldor {

inline const QString kTankNumberRefusal =
    QStringLiteral("Input not accepted. Tank number must be between 1 and 255.");

// True when the text read with the Val rule is a tank number 1 .. 255.
bool isTankNumberText(const QString& text);

QByteArray formatTankFile(const QString& tankNumberText, int fullScale, int offset, int pointCount,
                          const CurveTable& table, bool offsetMode);

struct TankFileSave {
    bool ok = false;
    Messages messages;
};

// Why this encoding of a curve of pointCount points cannot go into a tank file: the encoding
// failed, the full scale or the offset lies outside -32767 .. 32767, or the file it makes (under
// any valid tank number) breaks a rule of checkTankFile. Empty when it can; the editor asks this
// before it asks for the tank number.
Messages tankFileCurveRefusals(const EncodedCurve& encoded, int pointCount, const CurveTable& table,
                               bool offsetMode, const QString& path);

// Writes the tank file atomically from a successful encoding of the same curve. Refuses, and
// writes nothing, when the curve is refused above, the tank number is outside 1 .. 255 or the
// bytes to be written do not pass checkTankFile.
TankFileSave saveTankFile(const QString& path, const QString& tankNumberText,
                          const EncodedCurve& encoded, int pointCount, const CurveTable& table,
                          bool offsetMode);

// One point of a tank file: the grid's cell texts as written.
struct TankPointTexts {
    QString valueText;
    QString percentText;
};

// The fields of a tank file, read in the given layout by the one reader every user of tank
// files shares (the editor's open, the build). The file goes through readInputFile first.
struct TankFileFields {
    // 0 when every field was read. Otherwise the failure number: from the file 53 (missing),
    // 70 (permission denied) or 75 (not a regular file, too large, unreadable); from the
    // fields 62 (past the end), 13 (a number field that is not one), 6 (a full scale outside
    // 16 bits), 9 (more than 100 points).
    int errorNumber = 0;
    QString reason; // the failure in words, without the path
    // The fields read before a failure keep their values.
    std::optional<QString>
        tankNumberText; // as written, for the editor; the build reads it as a number
    std::optional<int> fullScale;
    std::optional<QString> offsetText; // offset-capable layout only; the editor does not use it
    std::optional<int> pointCount;     // the count rounded half to even, 0 when 0 or less
    QList<TankPointTexts> points;
    bool fileRead = false; // the file itself was read: a failure lies in its fields
    bool ok() const { return errorNumber == 0; }
};

TankFileFields readTankFile(const QString& path, bool offsetMode);
// The same from the file's bytes.
TankFileFields parseTankFile(const QByteArray& data, bool offsetMode);

// "Tank file NAME cannot be used: REASON.", the refusal of a tank file whose fields break a rule.
QString unusableTankFile(const QString& fileName, const QString& reason);

// The record words of a tank file's points under the file's own full scale and offset, as the
// build writes them. refusal names the first point whose word lies outside 0 .. 32767 (a value
// below the offset or above the full scale, a percentage outside 0 .. 99.99); empty when all fit.
struct TankFileWords {
    QVector<PointWords> words;
    QString refusal;
};
TankFileWords tankFileWords(const QString& fileName, const QList<TankPointTexts>& points,
                            int fullScale, int offset, bool offsetMode);

// A tank file held to every rule, the one check behind everything that takes a tank file in
// (kaldorctl check, send-tank, export and sheet, the build) and behind every tank file saved.
// In this order: the file is read; its tank number is a number 1 .. 255, its full scale above 0,
// its offset -32767 .. 32767 (offset-capable layout), its point count 1 .. 100; its curve
// passes checkTankCurve; each point's words under the file's full scale and offset lie in
// 0 .. 32767.
struct TankFileCheck {
    bool ok = false;
    // What the check says, in order (the curve check's ordering notice among it). On a refusal
    // the last is the refusal: "File not found." or "Error: " and its number for a file that
    // cannot be read, the rule's own text otherwise.
    Messages messages;
    QString detail;  // a file that cannot be read: its path and why
    QString refusal; // any refusal in one sentence that names the file, as a list of files needs
    // Of a file that passes.
    QString tankNumberText; // as written
    int tankNumber = 0;     // rounded half to even
    int fullScale = 0;      // as the file holds them
    int offset = 0;         // 0 in the not-offset-capable layout
    CurveTable table;       // the checked curve: compacted and in percentage order
    int pointCount = 0;
    EncodedCurve encoded; // of the checked curve, as the single-tank send puts it on the line
    QList<TankPointTexts> points() const; // rows 1 .. pointCount of the checked curve
};
TankFileCheck checkTankFile(const QString& path, bool offsetMode);
// The same for bytes that are to become the file at path.
TankFileCheck checkTankFileData(const QByteArray& data, const QString& path, bool offsetMode);

struct TankFileOpen {
    bool ok = false;
    Messages messages;
    QString detail; // on failure the path, ": " and what is wrong
    // Fields read before a failure keep their values.
    std::optional<QString> tankNumberText;
    std::optional<int> pointCount;
};

// Empties rows 1 .. 100, then reads the file into the table. A missing file gives "File not
// found."; a file that cannot be read and a failure while reading give "Error: " and its
// number, and leave the rows empty. A point count of 0 or less gives an empty curve. The
// window makes row 1, column 1 the current cell.
TankFileOpen openTankFile(const QString& path, bool offsetMode, CurveTable& table);

// The curve of a loaded record in the grid, as a double-click on the tank list shows it:
// rows emptied, one row per point (the window makes row 1 current). Returns the point count.
int fillCurveTable(CurveTable& table, const TankRecord& record, bool offsetMode);

} // namespace kaldor
