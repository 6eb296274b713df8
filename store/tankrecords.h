#pragma once
// Tank records inside an indicator image: the directory from address 20 (tank number,
// start high, start low), the records from 512, each a run of sign-and-magnitude words:
// full scale, the offset in the offset-capable layout, then percent word and value word of
// every point. No record crosses 8192 or 16384; the end pointer at 14, 15 is just past the
// last record.

#include "store/indicatorimage.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <optional>

namespace kaldor {

struct TankRecord {
    int tankNumber = 0; // 1 .. 255 in a sound image
    int start = 0;      // address of word 1
    QVector<int> words; // word 1 first, at most 202
    friend bool operator==(const TankRecord&, const TankRecord&) = default;
};

struct DecodeResult {
    int errorNumber = 0;         // 0 when the image decoded; 6 overflow, 9 out of range
    QString detail;              // what was wrong and where, for logs and the headless tool
    int endPointer = 0;          // E, addresses 14 and 15
    int tankCount = 0;           // n, address 16 (0: the image holds no tanks)
    QVector<TankRecord> records; // one per directory entry, in directory order
    bool ok() const { return errorNumber == 0; }
};

// Decodes the directory and the records. With one tank the record runs to E; with more, a
// record whose successor (or E) lies in another page is cut at the first word 32767 (ending
// two words later) or, without one, is the single word at its start. Never reads outside
// the image's counted length. Errors: more than 254 entries, a record over 202 words or a
// record or directory past the image's end give 9; an end pointer or a start address whose
// high byte is 128 or more gives 6. An image shorter than 17 bytes holds no tanks.
DecodeResult decodeTankRecords(const IndicatorImage& image);

struct CurvePoint {
    int percentWord = 0;
    std::optional<int> valueWord; // missing when the record ends after the percent word
    double percent = 0.0;         // percentFromWord(percentWord)
    std::optional<double> value;  // valueFromWord(valueWord, full scale, word 2)
    friend bool operator==(const CurvePoint&, const CurvePoint&) = default;
};

struct TankCurve {
    int fullScale = 0;          // word 1 (0 when the record is empty)
    int word2 = 0;              // word 2: the offset, or in the other layout point 1's percent word
    std::optional<int> offset;  // offset-capable layout, when the record has word 2
    QVector<CurvePoint> points; // point k from word 2k + 1 (offset-capable) or 2k
    friend bool operator==(const TankCurve&, const TankCurve&) = default;
};

// Point k exists while its percent word lies within the record; a value word beyond the
// record is marked missing, nothing past the record is read.
TankCurve curveFromRecord(const TankRecord& record, bool offsetMode);

// The words of one point as written into a record.
struct PointWords {
    int percentWord = 0;
    int valueWord = 0;
};

// Record length in bytes: 4 x points + 4 (offset-capable) or 4 x points + 2.
int recordLength(int pointCount, bool offsetMode);

// The record's bytes: word 1 full scale, word 2 offset (offset-capable layout only), then
// percent word and value word of each point, high byte first. nullopt when a word lies
// outside -32767 .. 32767.
std::optional<QByteArray> encodeTankRecord(int fullScale, int offset,
                                           const QVector<PointWords>& points, bool offsetMode);

// One record as it goes into an image: its tank number and its bytes.
struct RecordBytes {
    int tankNumber = 0;
    QByteArray bytes;
};

struct RecordLayout {
    enum class Status { Ok, TooManyTanks, DoesNotFit };
    Status status = Status::Ok;
    int end = 0; // just past the last record, where it was placed or would have been
    bool ok() const { return status == Status::Ok; }
};

// Lays the records out in order, as every built image has them: from 512 one after the other,
// except that a record that would run past 8192 or 16384 starts there (the page mark says so).
// Writes the constant header, the page mark, the end pointer, the tank count, the summary
// bytes, the directory and the records; the counted length becomes the end rounded up to a
// whole block. Other positions keep what `image` held. Nothing is written when more than 164
// records are given or they would end past 25000.
RecordLayout layOutRecords(const QVector<RecordBytes>& records, IndicatorImage& image);

} // namespace kaldor
