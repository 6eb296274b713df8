#pragma once
// The bounds the whole program shares: tank numbers, port numbers, the size of a file worth
// reading, and the run-time failure numbers that messages carry. Every check that needs one of
// these takes it from here.

#include <QtGlobal>

namespace kaldor {

namespace limits {
constexpr int kMinTankNumber = 1;
constexpr int kMaxTankNumber = 255;
constexpr int kFirstPort = 1;
constexpr int kLastPort = 4;
// The largest indicator or tank file a reader takes in. A sound indicator file holds at most
// 25003 values of at most 5 characters each and their separators (well under 200 KiB); a tank
// file is far smaller. Anything larger is refused before a byte of it is read.
constexpr qint64 kMaxInputFileBytes = 4 * 1024 * 1024;
// The most rows a strapping table may hold (and, at under 42 bytes a row, it fits the size above).
constexpr int kMaxStrappingRows = 100000;

constexpr bool isTankNumber(long long n)
{
    return n >= kMinTankNumber && n <= kMaxTankNumber;
}
constexpr bool isPortNumber(long long n)
{
    return n >= kFirstPort && n <= kLastPort;
}
} // namespace limits

// Run-time failure numbers, in the numbering of the original tool's run time.
namespace err {
constexpr int kInvalidCall = 5; // a byte outside 0..255, a bad argument
constexpr int kOverflow = 6;    // a number outside a 16-bit integer
constexpr int kSubscript = 9;   // past the end of a table or buffer
constexpr int kDivisionByZero = 11;
constexpr int kTypeMismatch = 13; // a field that is not a number
constexpr int kFileNotFound = 53;
constexpr int kDiskFull = 61;
constexpr int kInputPastEnd = 62;
constexpr int kBadFileName = 64;
constexpr int kPermissionDenied = 70;
constexpr int kPathAccess = 75;
constexpr int kPathNotFound = 76;
} // namespace err

} // namespace kaldor
