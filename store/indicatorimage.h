#pragma once
// The meter's curve memory as bytes, index = address. Every buffer that holds an image keeps
// addresses 0 .. 25000; the image proper is `length()` bytes, a multiple of 8, at most 25000.

#include <QByteArray>
#include <array>
#include <cstdint>

namespace kaldor {

namespace layout {
constexpr int kCapacity = 25001;  // addresses 0 .. 25000
constexpr int kMaxLength = 25000; // the longest image: 3125 blocks
constexpr int kBlockSize = 8;     // the meter sends and takes 8 bytes a block
constexpr int kMaxBlocks = kMaxLength / kBlockSize;
constexpr int kHeaderConstantLength = 13;
constexpr std::array<std::uint8_t, kHeaderConstantLength> kHeaderConstant = {
    61, 180, 200, 132, 150, 150, 20, 80, 7, 117, 1, 126, 0};
constexpr int kPageMarkAddress = 13;   // 1, 2 after a record moved to 8192, 3 after 16384
constexpr int kEndPointerAddress = 14; // two bytes, high first: just past the last record
constexpr int kTankCountAddress = 16;
constexpr std::array<std::uint8_t, 3> kSummaryConstant = {1, 2, 0}; // addresses 17 .. 19
constexpr int kSummaryConstantAddress = 17;
constexpr int kDirectoryStart = 20;
constexpr int kDirectoryEntrySize = 3;    // tank number, start high, start low
constexpr int kMaxDirectoryEntries = 164; // 20 + 3 * 164 = 512, where the records begin
constexpr int kMaxReadEntries = 254;      // the readers' tables hold no more
constexpr int kRecordAreaStart = 512;
constexpr int kPageSize = 8192; // no record crosses 8192 or 16384
constexpr int kMaxRecordWords = 202;
constexpr int kMaxPoints = 100;
constexpr int kEndMarkerWord = 32767; // the percent word of the 99.99 % point
constexpr int kMaxWordMagnitude = 32767;
} // namespace layout

class IndicatorImage {
public:
    IndicatorImage() { m_bytes.fill(0); }

    // The counted length in bytes (8 x the block count).
    int length() const { return m_length; }
    int blockCount() const { return m_length / layout::kBlockSize; }
    // Accepts 0 .. 25000; returns false and keeps the length otherwise.
    bool setLength(int length)
    {
        if (length < 0 || length > layout::kMaxLength) return false;
        m_length = length;
        return true;
    }

    // Bounds-checked access to the whole buffer (addresses 0 .. 25000); outside it reads 0
    // and a write is refused.
    std::uint8_t at(int address) const
    {
        return address >= 0 && address < layout::kCapacity ? m_bytes[address] : 0;
    }
    bool set(int address, int value)
    {
        if (address < 0 || address >= layout::kCapacity || value < 0 || value > 255) return false;
        m_bytes[address] = static_cast<std::uint8_t>(value);
        return true;
    }

    // Addresses 0 .. length() - 1.
    QByteArray bytes() const
    {
        return QByteArray(reinterpret_cast<const char*>(m_bytes.data()), m_length);
    }
    // An image of exactly these bytes (at most 25000 of them are kept).
    static IndicatorImage fromBytes(const QByteArray& bytes)
    {
        IndicatorImage image;
        const int n = int(std::min<qsizetype>(bytes.size(), layout::kMaxLength));
        for (int i = 0; i < n; ++i)
            image.m_bytes[i] = static_cast<std::uint8_t>(bytes[i]);
        image.m_length = n;
        return image;
    }

    friend bool operator==(const IndicatorImage&, const IndicatorImage&) = default;

private:
    std::array<std::uint8_t, layout::kCapacity> m_bytes;
    int m_length = 0;
};

} // namespace kaldor
