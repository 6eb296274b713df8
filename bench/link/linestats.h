#pragma once
// The figures bench_link gives: the bytes and replies an exchange puts on the line, and the
// turnaround samples with their median, 99th percentile and largest.

#include "bench/link/linejob.h"

#include <vector>

namespace kaldor::bench {

// The bytes each exchange puts on the line, and how often the meter answers.
struct LineCount {
    int toMeter = 0;
    int fromMeter = 0;
    int replies = 0;
    int unanswered = 0; // bytes the program writes last, which no reply follows
    int total() const { return toMeter + fromMeter; }
};
LineCount lineCount(Kind k, int blocks, int sendBytes);

// Turnaround samples, in microseconds.
struct Turnarounds {
    std::vector<double> toCall;    // program: last reply byte in hand to the write called
    std::vector<double> toByteOut; // program: ... to the write returned; the plain loop: to write()
    void add(const std::vector<double>& call, const std::vector<double>& out);
};

// One line: who, the count, the median, the 99th percentile and the largest.
void printTurnarounds(const char* who, const std::vector<double>& v);

} // namespace kaldor::bench
