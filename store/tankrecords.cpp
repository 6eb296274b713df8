#include "store/tankrecords.h"

#include "store/messages.h"
#include "store/wordcodec.h"

namespace kaldor {

namespace {

constexpr int kWordBytes = 2;
constexpr int kByteBase = 256;
constexpr int kSignBit = 128; // a high byte of 128 or more overflows a 16-bit address
constexpr int kTankCountEnd = layout::kTankCountAddress + 1; // bytes an image needs to state n
constexpr int kOffsetLayoutFixedWords = 2;                   // full scale and offset
constexpr int kPlainLayoutFixedWords = 1;                    // full scale
constexpr int kWordsPerPoint = 2;

int pageOf(int address)
{
    return address / layout::kPageSize;
}

// Image bytes inside the counted length; callers ask holds() before they read.
class BoundedImage {
public:
    explicit BoundedImage(const IndicatorImage& image) : m_image(image) {}
    bool holds(int address, int count) const
    {
        return address >= 0 && count >= 0 && address + count <= m_image.length();
    }
    int byteAt(int address) const { return m_image.at(address); }
    int wordAt(int address) const
    {
        return decodeWord(m_image.at(address), m_image.at(address + 1));
    }
    int length() const { return m_image.length(); }

private:
    const IndicatorImage& m_image;
};

DecodeResult failed(DecodeResult result, int number, const QString& detail)
{
    result.errorNumber = number;
    result.detail = detail;
    result.records.clear();
    return result;
}

QString recordPastEnd(const TankRecord& record, int entry, int address, int length)
{
    return QStringLiteral("the record of tank %1 (entry %2, start %3) reads address %4, past the "
                          "image's %5 bytes")
        .arg(record.tankNumber)
        .arg(entry)
        .arg(record.start)
        .arg(address)
        .arg(length);
}

} // namespace

DecodeResult decodeTankRecords(const IndicatorImage& image)
{
    DecodeResult result;
    const BoundedImage bytes(image);
    if (!bytes.holds(0, kTankCountEnd)) return result; // no tank count in the image: no tanks

    const int endHigh = bytes.byteAt(layout::kEndPointerAddress);
    if (endHigh >= kSignBit) {
        return failed(
            result, err::kOverflow,
            QStringLiteral("end pointer high byte %1 overflows a 16-bit number").arg(endHigh));
    }
    result.endPointer = endHigh * kByteBase + bytes.byteAt(layout::kEndPointerAddress + 1);
    result.tankCount = bytes.byteAt(layout::kTankCountAddress);
    const int n = result.tankCount;
    if (n == 0) return result;

    // The directory, in directory order.
    QVector<TankRecord> records;
    records.reserve(n);
    for (int i = 1; i <= n; ++i) {
        if (i > layout::kMaxReadEntries) {
            return failed(result, err::kSubscript,
                          QStringLiteral("%1 directory entries; at most %2 are kept")
                              .arg(n)
                              .arg(layout::kMaxReadEntries));
        }
        const int entry = layout::kDirectoryStart + layout::kDirectoryEntrySize * (i - 1);
        if (!bytes.holds(entry, layout::kDirectoryEntrySize)) {
            return failed(
                result, err::kSubscript,
                QStringLiteral("directory entry %1 at address %2 lies past the image's %3 bytes")
                    .arg(i)
                    .arg(entry)
                    .arg(bytes.length()));
        }
        const int startHigh = bytes.byteAt(entry + 1);
        if (startHigh >= kSignBit) {
            return failed(
                result, err::kOverflow,
                QStringLiteral("directory entry %1: start high byte %2 overflows a 16-bit number")
                    .arg(i)
                    .arg(startHigh));
        }
        TankRecord record;
        record.tankNumber = bytes.byteAt(entry);
        record.start = startHigh * kByteBase + bytes.byteAt(entry + 2);
        records.append(record);
    }

    for (int i = 0; i < n; ++i) {
        TankRecord& record = records[i];
        const int s = record.start;
        const int next = i + 1 < n ? records[i + 1].start : result.endPointer;
        int end = next; // first address past the record's last word start
        if (n >= 2 && pageOf(s) != pageOf(next)) {
            // A page gap may lie before next: the first word 32767 ends the record two words on.
            int marker = -1;
            for (int a = s; a < next; a += kWordBytes) {
                if (!bytes.holds(a, kWordBytes))
                    return failed(result, err::kSubscript,
                                  recordPastEnd(record, i + 1, a, bytes.length()));
                if (bytes.wordAt(a) == layout::kEndMarkerWord) {
                    marker = a;
                    break;
                }
            }
            end = marker >= 0 ? marker + 2 * kWordBytes : s + kWordBytes;
        }
        const int wordCount = end > s ? (end - s + 1) / kWordBytes : 0;
        if (wordCount > layout::kMaxRecordWords) {
            return failed(result, err::kSubscript,
                          QStringLiteral("the record of tank %1 (entry %2, start %3) holds %4 "
                                         "words; at most %5 are kept")
                              .arg(record.tankNumber)
                              .arg(i + 1)
                              .arg(s)
                              .arg(wordCount)
                              .arg(layout::kMaxRecordWords));
        }
        record.words.reserve(wordCount);
        for (int k = 0; k < wordCount; ++k) {
            const int a = s + kWordBytes * k;
            if (!bytes.holds(a, kWordBytes))
                return failed(result, err::kSubscript,
                              recordPastEnd(record, i + 1, a + 1, bytes.length()));
            record.words.append(bytes.wordAt(a));
        }
    }
    result.records = std::move(records);
    return result;
}

TankCurve curveFromRecord(const TankRecord& record, bool offsetMode)
{
    TankCurve curve;
    const QVector<int>& w = record.words;
    const auto word = [&w](int k) -> std::optional<int> { // k counts from 1
        return k >= 1 && k <= w.size() ? std::optional<int>(w[k - 1]) : std::nullopt;
    };
    curve.fullScale = word(1).value_or(0);
    curve.word2 = word(2).value_or(0);
    if (offsetMode) curve.offset = word(2);
    const int first = offsetMode ? kOffsetLayoutFixedWords + 1 : kPlainLayoutFixedWords + 1;
    for (int j = first; j <= w.size(); j += kWordsPerPoint) {
        CurvePoint point;
        point.percentWord = w[j - 1];
        point.percent = percentFromWord(point.percentWord);
        point.valueWord = word(j + 1);
        if (point.valueWord)
            point.value = valueFromWord(*point.valueWord, curve.fullScale, curve.word2);
        curve.points.append(point);
    }
    return curve;
}

int recordLength(int pointCount, bool offsetMode)
{
    const int fixedWords = offsetMode ? kOffsetLayoutFixedWords : kPlainLayoutFixedWords;
    return kWordBytes * (fixedWords + kWordsPerPoint * pointCount);
}

std::optional<QByteArray> encodeTankRecord(int fullScale, int offset,
                                           const QVector<PointWords>& points, bool offsetMode)
{
    QByteArray out;
    out.reserve(recordLength(int(points.size()), offsetMode));
    const auto put = [&out](int value) {
        const auto bytes = encodeWord(value);
        if (!bytes) return false;
        out += static_cast<char>(bytes->first);
        out += static_cast<char>(bytes->second);
        return true;
    };
    if (!put(fullScale) || (offsetMode && !put(offset))) return std::nullopt;
    for (const PointWords& p : points) {
        if (!put(p.percentWord) || !put(p.valueWord)) return std::nullopt;
    }
    return out;
}

RecordLayout layOutRecords(const QVector<RecordBytes>& records, IndicatorImage& image)
{
    RecordLayout out;
    if (records.size() > layout::kMaxDirectoryEntries) {
        out.status = RecordLayout::Status::TooManyTanks;
        return out;
    }
    QVector<int> starts;
    starts.reserve(records.size());
    int p = layout::kRecordAreaStart;
    int pageMark = 1;
    for (const RecordBytes& r : records) {
        const int length = int(r.bytes.size());
        if (p < layout::kPageSize && p + length > layout::kPageSize) {
            p = layout::kPageSize;
            pageMark = 2;
        }
        if (p < 2 * layout::kPageSize && p + length > 2 * layout::kPageSize) {
            p = 2 * layout::kPageSize;
            pageMark = 3;
        }
        starts.append(p);
        p += length;
    }
    out.end = p;
    if (p > layout::kMaxLength) {
        out.status = RecordLayout::Status::DoesNotFit;
        return out;
    }
    const auto putWord = [&image](int address, int word) {
        image.set(address, word / 256);
        image.set(address + 1, word % 256);
    };
    for (int i = 0; i < layout::kHeaderConstantLength; ++i)
        image.set(i, layout::kHeaderConstant[i]);
    image.set(layout::kPageMarkAddress, pageMark);
    putWord(layout::kEndPointerAddress, p);
    image.set(layout::kTankCountAddress, int(records.size()));
    for (int i = 0; i < int(layout::kSummaryConstant.size()); ++i)
        image.set(layout::kSummaryConstantAddress + i, layout::kSummaryConstant[i]);
    for (int i = 0; i < records.size(); ++i) {
        const int entry = layout::kDirectoryStart + layout::kDirectoryEntrySize * i;
        image.set(entry, records[i].tankNumber);
        putWord(entry + 1, starts[i]);
        const QByteArray& bytes = records[i].bytes;
        for (int b = 0; b < bytes.size(); ++b)
            image.set(starts[i] + b, static_cast<std::uint8_t>(bytes[b]));
    }
    image.setLength((p + layout::kBlockSize - 1) / layout::kBlockSize * layout::kBlockSize);
    return out;
}

} // namespace kaldor
