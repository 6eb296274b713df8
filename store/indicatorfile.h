#pragma once
// The indicator file container: the text form of an image shared by the working file
// All1.DAT and the user's *.idr files. Values are decimal integers separated by commas:
// the block count high and low, the image bytes from address 0, one trailing value.
//  - the download writes every number as " d " with ", " after each but the last and CR LF
//    at the end;
//  - the construction writes the counts, then "," before each image value, including the
//    value just past the counted image, and no line end.
// Readers accept both forms.

#include "store/atomicfile.h"
#include "store/indicatorimage.h"
#include "store/inputfile.h"
#include "store/textrules.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace kaldor {

// The download's form, byte for byte: blockCount div 256, blockCount mod 256, image
// addresses 0 .. 8 x blockCount - 1, trailingValue, CR LF. blockCount is clamped to
// 0 .. 3125 so that nothing past address 25000 is read.
QByteArray formatIndicatorFile(int blockCount, const IndicatorImage& image, int trailingValue);
FileWriteResult writeIndicatorFile(const QString& path, int blockCount, const IndicatorImage& image,
                                   int trailingValue);

// The construction's form: N div 256, ",", N mod 256 with N = totalLength / 8, then for every
// address p = 0 .. totalLength inclusive "," and the value at p; no line end. totalLength is
// clamped to 0 .. 25000 (address 25000 exists in every buffer).
QByteArray formatConstructedFile(const IndicatorImage& image, int totalLength);
FileWriteResult writeConstructedFile(const QString& path, const IndicatorImage& image,
                                     int totalLength);

// One value read from a container: the value, or the run-time error number of the read
// (62 past the end, 13 not a number, 6 outside a 16-bit integer).
struct ValueRead {
    int value = 0;
    int error = 0;
    bool ok() const { return error == 0; }
};

// Sequential reader of a container. The file is read whole when the reader is made, through
// readInputFile: anything but a regular file of at most limits::kMaxInputFileBytes is refused.
class IndicatorFileReader {
public:
    explicit IndicatorFileReader(const QString& path);
    explicit IndicatorFileReader(QByteArray data);

    // False when the file could not be read; openError() then gives the number (53 when it
    // does not exist, 70 permission, 75 not a regular file, too large, other access failures)
    // and openReason() the words. A reader made from bytes exists.
    bool exists() const { return m_openError == 0; }
    int openError() const { return m_openError; }
    const QString& openReason() const { return m_openReason; }

    // The next value as a 16-bit signed integer (fractions round half to even).
    ValueRead readValue();
    // True once nothing but blanks and line ends remains after the last value read.
    bool atEnd() const;
    // Values read so far (1 after the first readValue()).
    int valuesRead() const { return m_valuesRead; }

private:
    explicit IndicatorFileReader(InputFile file);
    int m_openError = 0;
    QString m_openReason;
    FieldReader m_fields;
    int m_valuesRead = 0;
};

// The readers' common load of a container (the tank editor and the viewer).
enum class LoadStatus {
    Ok,        // image holds N = 8 x (A x 256 + B) bytes
    NotFound,  // the file does not exist (error 53)
    EndOfData, // the file ended before or right after the N-th image value; image holds the
               // values read
    Failed,    // any other failure: errorNumber and message say which
};

struct IndicatorFileLoad {
    LoadStatus status = LoadStatus::Failed;
    bool fileOpened = false;          // the file was found and read (the editor's indicatorLoaded)
    IndicatorImage image;             // length N when status is Ok
    std::optional<int> trailingValue; // the item after the image, when it is a number
    int errorNumber = 0;              // 53 for NotFound, 0 for Ok and EndOfData
    QString message;                  // the text a window shows ("Error-End of data ...",
                                      // "Error:  5"), empty for Ok and NotFound
    QString detail;                   // what went wrong and where, without the path, for
                                      // logs and the tool
    bool ok() const { return status == LoadStatus::Ok; }
};

inline const QString kEndOfDataMessage = QStringLiteral("Error-End of data before end of count");

// Reads A and B, refuses N > 25000 or a negative count with error 9 before reading any image
// value, then reads N values, testing the end after each. A value outside 0 .. 255 is refused
// with error 5 and a detail naming its position.
IndicatorFileLoad loadIndicatorFile(const QString& path);
IndicatorFileLoad loadIndicatorFileFromBytes(const QByteArray& data);
IndicatorFileLoad loadIndicatorFile(IndicatorFileReader& reader);

} // namespace kaldor
