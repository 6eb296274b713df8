#include "store/tankfile.h"

#include "store/atomicfile.h"
#include "store/celltexts.h"
#include "store/inputfile.h"
#include "store/limits.h"
#include "store/textrules.h"
#include "store/wordcodec.h"

#include <QFileInfo>

namespace kaldor {

namespace {

constexpr int kMaxFileWord = 32767; // the file holds the full scale and offset as 16-bit numbers

} // namespace

bool isTankNumberText(const QString& text)
{
    const double n = val(text);
    return n >= limits::kMinTankNumber && n <= limits::kMaxTankNumber;
}

QByteArray formatTankFile(const QString& tankNumberText, int fullScale, int offset, int pointCount,
                          const CurveTable& table, bool offsetMode)
{
    QByteArray out = tankNumberText.toLatin1() + "\r\n";
    out += printNumber(static_cast<long long>(fullScale)) + "\r\n";
    if (offsetMode) out += printNumber(static_cast<long long>(offset)) + "\r\n";
    out += printNumber(static_cast<long long>(pointCount)) + "\r\n";
    for (int r = 1; r <= pointCount; ++r)
        out += table.value(r).toLatin1() + ", " + table.percent(r).toLatin1() + ",";
    return out;
}

namespace {
// What the encoding itself cannot put into a tank file, whatever its tank number.
Messages encodingRefusals(const EncodedCurve& encoded, int pointCount)
{
    const auto refuse = [](const QString& text) { return Messages{refusal(text)}; };
    if (!encoded.ok)
        return refuse(
            QStringLiteral("The curve could not be encoded, so no tank file was written."));
    if (encoded.fullScale > kMaxFileWord)
        return refuse(QStringLiteral("The full scale %1 is too large for a tank file (at most %2); "
                                     "the file was not written.")
                          .arg(encoded.fullScale)
                          .arg(kMaxFileWord));
    if (encoded.offset > kMaxFileWord || encoded.offset < -kMaxFileWord)
        return refuse(QStringLiteral("The offset %1 cannot be held in a tank file (-%2 to %2); "
                                     "the file was not written.")
                          .arg(encoded.offset)
                          .arg(kMaxFileWord));
    if (pointCount < 1 || pointCount > CurveTable::kRows)
        return refuse(QStringLiteral("No data in grid."));
    return {};
}
} // namespace

Messages tankFileCurveRefusals(const EncodedCurve& encoded, int pointCount, const CurveTable& table,
                               bool offsetMode, const QString& path)
{
    if (Messages refused = encodingRefusals(encoded, pointCount); !refused.isEmpty())
        return refused;
    // The file as it will be, under the first valid tank number: the tank number typed later is
    // checked with the bytes that are written.
    const TankFileCheck file =
        checkTankFileData(formatTankFile(QString::number(limits::kMinTankNumber), encoded.fullScale,
                                         encoded.offset, pointCount, table, offsetMode),
                          path, offsetMode);
    if (!file.ok) return {refusal(file.refusal)};
    return {};
}

TankFileSave saveTankFile(const QString& path, const QString& tankNumberText,
                          const EncodedCurve& encoded, int pointCount, const CurveTable& table,
                          bool offsetMode)
{
    const auto refuse = [](const QString& text) { return TankFileSave{false, {refusal(text)}}; };
    // A curve's refusals come before the tank number's; with a valid number, the bytes to be
    // written are checked whole below.
    if (!isTankNumberText(tankNumberText)) {
        const Messages refused =
            tankFileCurveRefusals(encoded, pointCount, table, offsetMode, path);
        return refused.isEmpty() ? refuse(kTankNumberRefusal) : TankFileSave{false, refused};
    }
    if (const Messages refused = encodingRefusals(encoded, pointCount); !refused.isEmpty())
        return TankFileSave{false, refused};
    const QByteArray bytes = formatTankFile(tankNumberText, encoded.fullScale, encoded.offset,
                                            pointCount, table, offsetMode);
    // Nothing is saved that a reader of tank files would refuse.
    const TankFileCheck file = checkTankFileData(bytes, path, offsetMode);
    if (!file.ok) return refuse(file.refusal);
    const FileWriteResult written = writeFileAtomically(path, bytes);
    if (!written.ok) return refuse(errorText(written.errorNumber));
    return {true, {info(QStringLiteral("File ") + path + QStringLiteral(" saved."))}};
}

TankFileFields readTankFile(const QString& path, bool offsetMode)
{
    InputFile file = readInputFile(path);
    if (!file.ok()) {
        TankFileFields fields;
        fields.errorNumber = file.errorNumber;
        fields.reason = file.reason;
        return fields;
    }
    return parseTankFile(file.data, offsetMode);
}

TankFileFields parseTankFile(const QByteArray& data, bool offsetMode)
{
    TankFileFields fields;
    const auto fail = [&](int number, const QString& reason) {
        fields.errorNumber = number;
        fields.reason = reason;
        return fields;
    };
    fields.fileRead = true;
    FieldReader in(data);
    const auto failField = [&](int number) { return fail(number, fieldErrorText(number)); };

    fields.tankNumberText = in.readString();
    if (!fields.tankNumberText) return failField(err::kInputPastEnd);
    int e = 0;
    fields.fullScale = in.readInt16(&e);
    if (!fields.fullScale) return failField(e);
    if (offsetMode) {
        fields.offsetText = in.readString();
        if (!fields.offsetText) return failField(err::kInputPastEnd);
    }
    const auto count = in.readNumber(&e);
    if (!count) return failField(e);
    const double n = roundHalfEven(*count);
    if (n > CurveTable::kRows)
        return fail(err::kSubscript, QStringLiteral("its point count %1 is more than %2")
                                         .arg(plainNumber(*count))
                                         .arg(CurveTable::kRows));
    fields.pointCount = n > 0 ? static_cast<int>(n) : 0;
    for (int r = 1; r <= *fields.pointCount; ++r) {
        const auto value = in.readString();
        const auto percent = in.readString();
        if (!value || !percent) return failField(err::kInputPastEnd);
        fields.points.append({*value, *percent});
    }
    return fields;
}

QString unusableTankFile(const QString& fileName, const QString& reason)
{
    const QString text = QStringLiteral("Tank file %1 cannot be used: %2").arg(fileName, reason);
    return text.endsWith(u'.') ? text : text + u'.';
}

TankFileWords tankFileWords(const QString& fileName, const QList<TankPointTexts>& points,
                            int fullScale, int offset, bool offsetMode)
{
    TankFileWords out;
    out.words.reserve(points.size());
    const auto fits = [](int w) { return w >= 0 && w <= layout::kMaxWordMagnitude; };
    for (qsizetype k = 0; k < points.size(); ++k) {
        const TankPointTexts& point = points[k];
        const int percentWord = percentToWord(val(point.percentText));
        const auto valueWord = valueToWord(val(point.valueText), fullScale, offset, offsetMode);
        if (!valueWord || !fits(percentWord) || !fits(*valueWord)) {
            out.words.clear();
            out.refusal = unusableTankFile(
                fileName, QStringLiteral("point %1 (value %2, %3 %) lies outside the "
                                         "tank's full scale")
                              .arg(k + 1)
                              .arg(quotedText(point.valueText.trimmed()),
                                   quotedText(point.percentText.trimmed())));
            return out;
        }
        out.words.append({percentWord, *valueWord});
    }
    return out;
}

QList<TankPointTexts> TankFileCheck::points() const
{
    QList<TankPointTexts> out;
    for (int r = 1; r <= pointCount; ++r)
        out.append({table.value(r), table.percent(r)});
    return out;
}

TankFileCheck checkTankFile(const QString& path, bool offsetMode)
{
    InputFile file = readInputFile(path);
    if (!file.ok()) {
        TankFileCheck result;
        result.messages.append(refusal(file.errorNumber == err::kFileNotFound
                                           ? QStringLiteral("File not found.")
                                           : errorText(file.errorNumber)));
        result.detail = fileRefusal(path, file.reason);
        result.refusal = QStringLiteral("Tank file %1 cannot be read: %2.").arg(path, file.reason);
        return result;
    }
    return checkTankFileData(file.data, path, offsetMode);
}

TankFileCheck checkTankFileData(const QByteArray& data, const QString& path, bool offsetMode)
{
    TankFileCheck result;
    const QString name = QFileInfo(path).fileName();
    const TankFileFields fields = parseTankFile(data, offsetMode);
    const auto fail = [&](const QString& reason) {
        result.refusal = unusableTankFile(name, reason);
        result.messages.append(refusal(result.refusal));
        return result;
    };
    // The tank number and the offset are numbers to every user of the file.
    int e = 0;
    const auto number = fields.tankNumberText
                            ? numberFromField(fields.tankNumberText->toLatin1(), &e)
                            : std::nullopt;
    if (!number) return fail(fieldErrorText(fields.tankNumberText ? e : fields.errorNumber));
    const double tankNumber = roundHalfEven(*number);
    if (!(tankNumber >= limits::kMinTankNumber && tankNumber <= limits::kMaxTankNumber))
        return fail(QStringLiteral("its tank number %1 is not between %2 and %3")
                        .arg(plainNumber(*number))
                        .arg(limits::kMinTankNumber)
                        .arg(limits::kMaxTankNumber));
    result.tankNumberText = *fields.tankNumberText;
    result.tankNumber = int(tankNumber);

    if (!fields.fullScale) return fail(fields.reason);
    if (*fields.fullScale <= 0)
        return fail(
            QStringLiteral("its full scale is %1; it must be above 0").arg(*fields.fullScale));
    result.fullScale = *fields.fullScale;

    if (offsetMode) {
        const auto offset =
            fields.offsetText ? int16FromField(fields.offsetText->toLatin1(), &e) : std::nullopt;
        if (!offset) return fail(fieldErrorText(fields.offsetText ? e : fields.errorNumber));
        if (*offset < -layout::kMaxWordMagnitude)
            return fail(QStringLiteral("its offset %1 lies outside -32767 to 32767").arg(*offset));
        result.offset = *offset;
    }

    if (!fields.ok()) return fail(fields.reason);
    if (*fields.pointCount < 1)
        return fail(QStringLiteral("its point count %1 is not between 1 and %2")
                        .arg(*fields.pointCount)
                        .arg(layout::kMaxPoints));

    // The curve as the editor checks it before it sends or saves; its messages are the editor's.
    for (int r = 1; r <= fields.points.size(); ++r) {
        result.table.setValue(r, fields.points.at(r - 1).valueText);
        result.table.setPercent(r, fields.points.at(r - 1).percentText);
    }
    CurveCheck curve = checkTankCurve(result.table, offsetMode);
    result.messages = curve.messages;
    if (!curve.curveValid) {
        result.refusal = unusableTankFile(
            name, result.messages.isEmpty() ? QString() : result.messages.last().text);
        return result;
    }
    result.pointCount = curve.pointCount.value_or(0);
    result.encoded = *curve.encoded;

    // The build writes the file's own full scale and offset: every point must fit under them.
    const TankFileWords words =
        tankFileWords(name, result.points(), result.fullScale, result.offset, offsetMode);
    if (!words.refusal.isEmpty()) {
        result.refusal = words.refusal;
        result.messages.append(refusal(words.refusal));
        return result;
    }
    result.ok = true;
    return result;
}

TankFileOpen openTankFile(const QString& path, bool offsetMode, CurveTable& table)
{
    table.clear();
    const TankFileFields fields = readTankFile(path, offsetMode);
    TankFileOpen result;
    result.tankNumberText = fields.tankNumberText;
    result.pointCount = fields.pointCount;
    if (!fields.ok()) {
        result.messages.append(refusal(fields.errorNumber == err::kFileNotFound
                                           ? QStringLiteral("File not found.")
                                           : errorText(fields.errorNumber)));
        result.detail = fileRefusal(path, fields.reason);
        return result;
    }
    for (int r = 1; r <= fields.points.size(); ++r) {
        table.setValue(r, fields.points.at(r - 1).valueText);
        table.setPercent(r, fields.points.at(r - 1).percentText);
    }
    result.ok = true;
    return result;
}

int fillCurveTable(CurveTable& table, const TankRecord& record, bool offsetMode)
{
    table.clear();
    const QVector<CellRow> rows = curveCellRows(record, offsetMode);
    int r = 0;
    for (const CellRow& row : rows) {
        if (++r > CurveTable::kRows) break;
        table.setValue(r, row.value);
        table.setPercent(r, row.percent);
    }
    return std::min(r, int(CurveTable::kRows));
}

} // namespace kaldor
