#pragma once
// A model of the meter's side of the line, for tests, benchmarks and the windowed program's
// simulation. It answers "AU", "AD", "CD", "CL" and the keypad commands one byte at a time,
// and on request goes wrong at any step of any exchange.

#include "store/indicatorimage.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

namespace kaldor {

enum class FaultKind {
    NoReply,         // the meter says nothing at that step and forgets the exchange
    Nack,            // 0x15 in place of the reply
    WrongByte,       // a wrong first byte: 0x41 for an ACK, a count of 0x4141, a block's first byte
                     // changed
    ExtraBytes,      // the reply and one byte more
    StopAfterBlocks, // step = k: after k blocks (or data bytes of "CD") the meter falls silent
    CloseLine,       // the line closes at that step
    StoreWrong, // "AD", "CD": every reply as usual, but the step-th data byte is stored inverted
    Ignore,     // "CL": the command is taken and nothing is cleared
};

// A fault fires once, at the step-th reply of the named exchange (1 = the reply to the command).
// "AU": 1 ACK, 2 the count, 3.. the blocks. "AD": 1 command, 2 count, 3.. one per block.
// "CD": 1 command, 2 tank number, 3 byte count, 4.. one per data byte. A StoreWrong fault
// counts the data bytes from 1 instead (for "AD" the byte at address step - 1); it and
// Ignore stay in force until cleared.
struct MeterFault {
    QByteArray command; // "AU", "AD", "CD", "CL"
    int step = 1;
    FaultKind kind = FaultKind::NoReply;

    // "AU:3:nack"; kinds silent, nack, wrong, extra, stop, close, store ("AD", "CD") and
    // ignore ("CL" only).
    static std::optional<MeterFault> parse(const QString& text);
};

class SimulatedMeter {
public:
    using Clock = std::chrono::steady_clock;
    // A pause this long between two bytes of the program drops a half-received frame: the
    // meter waits for a new 0x02, as a device that survives a confused line does.
    static constexpr std::chrono::milliseconds kFramePause{500};

    explicit SimulatedMeter(const IndicatorImage& image = {});

    const IndicatorImage& image() const { return m_image; }
    void setImage(const IndicatorImage& image) { m_image = image; }
    // Header and summary of an image that holds no tanks, as "CL" leaves it.
    static IndicatorImage emptyImage();

    void addFault(const MeterFault& fault) { m_faults.append(fault); }
    void clearFaults() { m_faults.clear(); }

    // One byte from the program, arrived at `at` (now); returns the meter's answer to it
    // (often none). A tank that does not fit in the image is refused with NACK at its count.
    QByteArray receive(std::uint8_t byte);
    QByteArray receive(std::uint8_t byte, Clock::time_point at);
    // The last byte of the meter's answer left at `at`: a pause counts from there, so that a
    // slow answer does not count against the program.
    void answerSent(Clock::time_point at)
    {
        if (m_lastByte && at > *m_lastByte) m_lastByte = at;
    }

    bool lineClosed() const { return m_lineClosed; }
    int commandCount(const QByteArray& letters) const { return m_commands.value(letters); }
    int tanksAdded() const { return m_tanksAdded; }
    // Every byte the program sent, in order; kept unless switched off (a meter that serves for
    // hours and is not asked for them).
    const QByteArray& received() const { return m_received; }
    void keepReceived(bool on) { m_keepReceived = on; }

private:
    enum class State {
        Idle,
        Letter1,
        Letter2,
        Cr,
        AuAck1,
        AuAckCount,
        AuAckBlock,
        AdCountHigh,
        AdCountLow,
        AdData,
        AdFinal,
        CdTank,
        CdCountHigh,
        CdCountLow,
        CdData
    };
    void frameComplete();
    // The reply of `step` after the faults for it; goes idle when a fault stops the exchange.
    QByteArray reply(int step, QByteArray bytes, bool isBlock = false);
    QByteArray nextBlock();
    // Where a record of `length` bytes goes: its start and the page mark after it, or nullopt
    // when it does not fit (directory full, past address 25000).
    struct Placement {
        int start = 0;
        int pageMark = 1;
    };
    static std::optional<Placement> placeRecord(const IndicatorImage& image, int length);
    // The image, or an empty one when it has no sound header (never written, or not the
    // meter's): a tank sent to such a meter starts it again.
    IndicatorImage soundOrEmpty() const;
    void appendTank(int tankNumber, const QByteArray& block);
    // The data as stored: inverted where a StoreWrong fault for `command` says so.
    QByteArray stored(const QByteArray& command, QByteArray data) const;
    bool hasFault(const QByteArray& command, FaultKind kind) const;

    IndicatorImage m_image;
    QList<MeterFault> m_faults;
    State m_state = State::Idle;
    QByteArray m_letters;
    int m_blocks = 0; // announced or held
    int m_sent = 0;   // blocks sent or taken so far
    int m_count = 0;  // "CD" byte count
    int m_tank = 0;
    QByteArray m_data;
    bool m_lineClosed = false;
    int m_tanksAdded = 0;
    QMap<QByteArray, int> m_commands;
    QByteArray m_received;
    bool m_keepReceived = true;
    std::optional<Clock::time_point> m_lastByte;
};

} // namespace kaldor
