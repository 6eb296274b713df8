#include "store/indicatorfile.h"

#include "store/inputfile.h"
#include "store/messages.h"

#include <algorithm>
#include <array>

namespace kaldor {

namespace {

constexpr int kCountBase = 256; // the block count travels as high and low byte
constexpr int kMaxByte = 255;
constexpr int kCountValues = 2; // file positions 1 and 2 hold the block count

// The printed form of every byte value, made once: the writers print up to 25003 of them.
const QByteArray& printedByte(std::uint8_t value)
{
    static const auto table = [] {
        std::array<QByteArray, kMaxByte + 1> texts;
        for (int v = 0; v <= kMaxByte; ++v)
            texts[v] = printNumber(static_cast<long long>(v));
        return texts;
    }();
    return table[value];
}

IndicatorFileLoad failure(int number, const QString& detail)
{
    IndicatorFileLoad load;
    load.status = LoadStatus::Failed;
    load.errorNumber = number;
    load.message = errorText(number);
    load.detail = detail;
    return load;
}

} // namespace

QByteArray formatIndicatorFile(int blockCount, const IndicatorImage& image, int trailingValue)
{
    const int blocks = std::clamp(blockCount, 0, layout::kMaxBlocks);
    const int length = blocks * layout::kBlockSize;
    static const QByteArray kSeparator = QByteArrayLiteral(", ");
    QByteArray out;
    out.reserve((length + 3) * 6);
    out += printNumber(static_cast<long long>(blocks / kCountBase));
    out += kSeparator;
    out += printNumber(static_cast<long long>(blocks % kCountBase));
    out += kSeparator;
    for (int address = 0; address < length; ++address) {
        out += printedByte(image.at(address));
        out += kSeparator;
    }
    out += printNumber(static_cast<long long>(trailingValue));
    out += "\r\n";
    return out;
}

FileWriteResult writeIndicatorFile(const QString& path, int blockCount, const IndicatorImage& image,
                                   int trailingValue)
{
    return writeFileAtomically(path, formatIndicatorFile(blockCount, image, trailingValue));
}

QByteArray formatConstructedFile(const IndicatorImage& image, int totalLength)
{
    const int total = std::clamp(totalLength, 0, layout::kMaxLength);
    const int blocks = total / layout::kBlockSize;
    QByteArray out;
    out.reserve((total + 3) * 6);
    out += printNumber(static_cast<long long>(blocks / kCountBase));
    out += ',';
    out += printNumber(static_cast<long long>(blocks % kCountBase));
    // Up to and including address total: the item after the counted image ends the file.
    for (int address = 0; address <= total; ++address) {
        out += ',';
        out += printedByte(image.at(address));
    }
    return out;
}

FileWriteResult writeConstructedFile(const QString& path, const IndicatorImage& image,
                                     int totalLength)
{
    return writeFileAtomically(path, formatConstructedFile(image, totalLength));
}

IndicatorFileReader::IndicatorFileReader(const QString& path)
    : IndicatorFileReader(readInputFile(path))
{
}

IndicatorFileReader::IndicatorFileReader(InputFile file)
    : m_openError(file.errorNumber), m_openReason(std::move(file.reason)),
      m_fields(std::move(file.data))
{
}

IndicatorFileReader::IndicatorFileReader(QByteArray data) : m_fields(std::move(data)) {}

ValueRead IndicatorFileReader::readValue()
{
    if (m_openError != 0) return {0, m_openError};
    int error = 0;
    const auto value = m_fields.readInt16(&error);
    if (!value) return {0, error != 0 ? error : err::kInputPastEnd};
    ++m_valuesRead;
    return {*value, 0};
}

bool IndicatorFileReader::atEnd() const
{
    return m_openError != 0 || m_fields.atEnd();
}

namespace {

// The counts, the image values and the item after them, from a reader that has its data.
IndicatorFileLoad readImage(IndicatorFileReader& reader)
{
    int counts[kCountValues] = {0, 0};
    for (int k = 0; k < kCountValues; ++k) {
        const ValueRead v = reader.readValue();
        if (!v.ok())
            return failure(v.error,
                           QStringLiteral("block count value %1 cannot be read").arg(k + 1));
        counts[k] = v.value;
    }
    const int high = counts[0];
    const int low = counts[1];
    const long long length = 8LL * (static_cast<long long>(high) * kCountBase + low);
    if (high < 0 || low < 0 || length > layout::kMaxLength) {
        return failure(
            err::kSubscript,
            QStringLiteral("block count %1, %2 announces %3 bytes; the image holds at most %4")
                .arg(high)
                .arg(low)
                .arg(length)
                .arg(layout::kMaxLength));
    }

    IndicatorFileLoad load;
    const int n = static_cast<int>(length);
    for (int address = 0; address < n; ++address) {
        const ValueRead v = reader.readValue();
        if (!v.ok()) {
            return failure(
                v.error,
                QStringLiteral("image value at address %1 (file position %2) cannot be read")
                    .arg(address)
                    .arg(address + kCountValues + 1));
        }
        if (v.value < 0 || v.value > kMaxByte) {
            return failure(
                err::kInvalidCall,
                QStringLiteral(
                    "value %1 at file position %2 (image address %3) is not a byte 0 to 255")
                    .arg(v.value)
                    .arg(address + kCountValues + 1)
                    .arg(address));
        }
        load.image.set(address, v.value);
        if (reader.atEnd()) {
            // What was read stays in the image, its length the values read.
            IndicatorFileLoad end;
            end.image = load.image;
            end.image.setLength(address + 1);
            end.status = LoadStatus::EndOfData;
            end.message = kEndOfDataMessage;
            end.detail =
                QStringLiteral("the file ends after %1 of %2 image values%3")
                    .arg(address + 1)
                    .arg(n)
                    .arg(address + 1 == n ? QStringLiteral(", with no item after the image")
                                          : QString());
            return end;
        }
    }
    load.image.setLength(n);
    // The item after the image guards the end; it belongs to no image address.
    const ValueRead trailing = reader.readValue();
    if (trailing.ok()) load.trailingValue = trailing.value;
    load.status = LoadStatus::Ok;
    return load;
}

} // namespace

IndicatorFileLoad loadIndicatorFile(IndicatorFileReader& reader)
{
    if (!reader.exists()) {
        if (reader.openError() == err::kFileNotFound) {
            IndicatorFileLoad load;
            load.status = LoadStatus::NotFound;
            load.errorNumber = err::kFileNotFound;
            load.detail = reader.openReason();
            return load;
        }
        return failure(reader.openError(), reader.openReason());
    }

    IndicatorFileLoad load = readImage(reader);
    load.fileOpened = true;
    return load;
}

IndicatorFileLoad loadIndicatorFile(const QString& path)
{
    IndicatorFileReader reader(path);
    return loadIndicatorFile(reader);
}

IndicatorFileLoad loadIndicatorFileFromBytes(const QByteArray& data)
{
    IndicatorFileReader reader(data);
    return loadIndicatorFile(reader);
}

} // namespace kaldor
