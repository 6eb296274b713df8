#pragma once
// The largest image the benches work on: 164 tanks of 36 points (148-byte records), placed
// from the record area on, never across a page, filling the image to 24968 of its 25000 bytes.

#include "store/indicatorimage.h"
#include "store/tankrecords.h"
#include "store/wordcodec.h"

#include <QByteArray>
#include <QVector>

namespace kaldor::bench {

inline IndicatorImage fullImage()
{
    constexpr int kPoints = 36;
    IndicatorImage image = IndicatorImage::fromBytes(QByteArray(layout::kMaxLength, 0));
    for (int i = 0; i < layout::kHeaderConstantLength; ++i)
        image.set(i, layout::kHeaderConstant[std::size_t(i)]);
    int p = layout::kRecordAreaStart;
    int pageMark = 1;
    for (int i = 0; i < layout::kMaxDirectoryEntries; ++i) {
        QVector<PointWords> points;
        for (int k = 0; k < kPoints; ++k) {
            const bool last = k == kPoints - 1;
            points.append({last ? layout::kEndMarkerWord : percentToWord(k * 2.5),
                           last ? layout::kEndMarkerWord : k * 900});
        }
        const QByteArray record = *encodeTankRecord(32000, -50, points, true);
        const int length = int(record.size());
        for (int boundary : {layout::kPageSize, 2 * layout::kPageSize}) {
            if (p < boundary && p + length > boundary) {
                p = boundary;
                pageMark = boundary / layout::kPageSize + 1;
            }
        }
        const int entry = layout::kDirectoryStart + layout::kDirectoryEntrySize * i;
        image.set(entry, i + 1);
        image.set(entry + 1, p / 256);
        image.set(entry + 2, p % 256);
        for (int b = 0; b < length; ++b)
            image.set(p + b, std::uint8_t(record[b]));
        p += length;
    }
    image.set(layout::kPageMarkAddress, pageMark);
    image.set(layout::kEndPointerAddress, p / 256);
    image.set(layout::kEndPointerAddress + 1, p % 256);
    image.set(layout::kTankCountAddress, layout::kMaxDirectoryEntries);
    return image;
}

} // namespace kaldor::bench
