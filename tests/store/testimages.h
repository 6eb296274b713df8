#pragma once
// Hand-made images for the decoder tests and benchmarks: a directory and records placed at
// the given starts, the end pointer and the counted length set as asked.

#include "store/indicatorimage.h"
#include "store/wordcodec.h"

#include <QVector>

namespace kaldor::testing {

struct PlacedTank {
    int number = 0;
    int start = 0;
    QVector<int> words;
};

inline void putWord(IndicatorImage& image, int address, int word)
{
    const auto bytes = encodeWord(word);
    image.set(address, bytes->first);
    image.set(address + 1, bytes->second);
}

inline IndicatorImage placeTanks(const QVector<PlacedTank>& tanks, int endPointer, int length)
{
    IndicatorImage image;
    image.set(layout::kEndPointerAddress, endPointer / 256);
    image.set(layout::kEndPointerAddress + 1, endPointer % 256);
    image.set(layout::kTankCountAddress, int(tanks.size()));
    for (int i = 0; i < tanks.size(); ++i) {
        const int entry = layout::kDirectoryStart + layout::kDirectoryEntrySize * i;
        image.set(entry, tanks[i].number);
        image.set(entry + 1, tanks[i].start / 256);
        image.set(entry + 2, tanks[i].start % 256);
        for (int k = 0; k < tanks[i].words.size(); ++k)
            putWord(image, tanks[i].start + 2 * k, tanks[i].words[k]);
    }
    image.setLength(length);
    return image;
}

// A curve record in the offset-capable layout: full scale, offset, then np points ending
// with the end marker; no other word equals 32767.
inline QVector<int> curveWords(int fullScale, int offset, int points)
{
    QVector<int> words{fullScale, offset};
    for (int k = 0; k < points; ++k) {
        const bool last = k == points - 1;
        words << (last ? layout::kEndMarkerWord : k * 300)
              << (last ? layout::kEndMarkerWord : k * 200);
    }
    return words;
}

} // namespace kaldor::testing
