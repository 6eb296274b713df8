#include "sim/simulatedmeter.h"

#include "store/indicatorimage.h"

#include <QStringList>

#include <algorithm>

namespace kaldor {

namespace {
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNack = 0x15;
constexpr char kWrong = 0x41;
constexpr int kByteBase = 256;
constexpr int kFirstPageMark = 1;
constexpr int kBlockFirstStep = 3; // "AU" and "AD": the first block's reply
constexpr int kCdDataFirstStep = 4;

const QByteArray kAckReply(1, char(kAck));

int word(const IndicatorImage& image, int address)
{
    return image.at(address) * kByteBase + image.at(address + 1);
}
} // namespace

std::optional<MeterFault> MeterFault::parse(const QString& text)
{
    const QStringList parts = text.split(u':');
    if (parts.size() != 3) return std::nullopt;
    MeterFault f;
    f.command = parts[0].trimmed().toUpper().toLatin1();
    if (f.command != "AU" && f.command != "AD" && f.command != "CD" && f.command != "CL")
        return std::nullopt;
    bool ok = false;
    f.step = parts[1].toInt(&ok);
    if (!ok || f.step < 0) return std::nullopt;
    static const QMap<QString, FaultKind> kinds = {
        {QStringLiteral("silent"), FaultKind::NoReply},
        {QStringLiteral("nack"), FaultKind::Nack},
        {QStringLiteral("wrong"), FaultKind::WrongByte},
        {QStringLiteral("extra"), FaultKind::ExtraBytes},
        {QStringLiteral("stop"), FaultKind::StopAfterBlocks},
        {QStringLiteral("close"), FaultKind::CloseLine},
        {QStringLiteral("store"), FaultKind::StoreWrong},
        {QStringLiteral("ignore"), FaultKind::Ignore}};
    const auto kind = kinds.constFind(parts[2].trimmed().toLower());
    if (kind == kinds.constEnd()) return std::nullopt;
    f.kind = *kind;
    // "CL" has no reply to spoil: it can only be ignored, and only it can.
    if ((f.command == "CL") != (f.kind == FaultKind::Ignore)) return std::nullopt;
    if (f.kind == FaultKind::StoreWrong && f.command == "AU") return std::nullopt;
    // Replies and data bytes count from 1: a fault at step 0 would never fire. Only "stop"
    // counts blocks served, and may stop before the first.
    if (f.step < 1 && f.kind != FaultKind::StopAfterBlocks) return std::nullopt;
    return f;
}

SimulatedMeter::SimulatedMeter(const IndicatorImage& image) : m_image(image) {}

IndicatorImage SimulatedMeter::emptyImage()
{
    IndicatorImage image;
    for (int i = 0; i < layout::kHeaderConstantLength; ++i)
        image.set(i, layout::kHeaderConstant[std::size_t(i)]);
    image.set(layout::kPageMarkAddress, kFirstPageMark);
    image.set(layout::kEndPointerAddress, layout::kRecordAreaStart / kByteBase);
    image.set(layout::kEndPointerAddress + 1, layout::kRecordAreaStart % kByteBase);
    image.set(layout::kTankCountAddress, 0);
    for (std::size_t i = 0; i < layout::kSummaryConstant.size(); ++i)
        image.set(layout::kSummaryConstantAddress + int(i), layout::kSummaryConstant[i]);
    image.setLength(layout::kRecordAreaStart);
    return image;
}

QByteArray SimulatedMeter::reply(int step, QByteArray bytes, bool isBlock)
{
    if (m_lineClosed) return {};
    for (int i = 0; i < m_faults.size(); ++i) {
        const MeterFault f = m_faults[i];
        if (f.command != m_letters || f.kind == FaultKind::StoreWrong ||
            f.kind == FaultKind::Ignore)
            continue;
        if (f.kind == FaultKind::StopAfterBlocks) {
            const int firstBlockStep = m_letters == "CD" ? kCdDataFirstStep : kBlockFirstStep;
            if (step < firstBlockStep + f.step) continue;
        } else if (f.step != step) {
            continue;
        }
        m_faults.removeAt(i);
        switch (f.kind) {
        case FaultKind::NoReply:
        case FaultKind::StopAfterBlocks:
            m_state = State::Idle;
            return {};
        case FaultKind::Nack:
            m_state = State::Idle;
            return QByteArray(1, char(kNack));
        case FaultKind::WrongByte:
            if (isBlock) {
                bytes[0] = char(~bytes[0]);
                return bytes;
            }
            m_state = State::Idle;
            return bytes.size() == 2 ? QByteArray(2, kWrong) : QByteArray(1, kWrong);
        case FaultKind::ExtraBytes:
            return bytes + QByteArray(1, kWrong);
        case FaultKind::CloseLine:
            m_lineClosed = true;
            m_state = State::Idle;
            return {};
        case FaultKind::StoreWrong:
        case FaultKind::Ignore:
            break;
        }
    }
    return bytes;
}

QByteArray SimulatedMeter::nextBlock()
{
    const int start = m_sent * layout::kBlockSize;
    QByteArray block(layout::kBlockSize, 0);
    for (int i = 0; i < layout::kBlockSize; ++i)
        block[i] = char(m_image.at(start + i));
    ++m_sent;
    return reply(kBlockFirstStep + m_sent - 1, block, true);
}

void SimulatedMeter::frameComplete()
{
    ++m_commands[m_letters];
    m_sent = 0;
    m_data.clear();
    if (m_letters == "AU")
        m_state = State::AuAck1;
    else if (m_letters == "AD")
        m_state = State::AdCountHigh;
    else if (m_letters == "CD")
        m_state = State::CdTank;
    else if (m_letters == "CL" && !hasFault("CL", FaultKind::Ignore))
        m_image = emptyImage();
}

bool SimulatedMeter::hasFault(const QByteArray& command, FaultKind kind) const
{
    return std::any_of(m_faults.cbegin(), m_faults.cend(),
                       [&](const MeterFault& f) { return f.command == command && f.kind == kind; });
}

QByteArray SimulatedMeter::stored(const QByteArray& command, QByteArray data) const
{
    for (const MeterFault& f : m_faults) {
        if (f.command == command && f.kind == FaultKind::StoreWrong && f.step <= data.size())
            data[f.step - 1] = char(~data[f.step - 1]);
    }
    return data;
}

QByteArray SimulatedMeter::receive(std::uint8_t byte)
{
    return receive(byte, Clock::now());
}

QByteArray SimulatedMeter::receive(std::uint8_t byte, Clock::time_point at)
{
    if (m_lineClosed) return {};
    if (m_keepReceived) m_received.append(char(byte));
    const bool paused = m_lastByte && at - *m_lastByte >= kFramePause;
    m_lastByte = at;
    if (paused) m_state = State::Idle; // whatever was half received is dropped
    switch (m_state) {
    case State::Idle:
        if (byte == kStx) m_state = State::Letter1;
        return {};
    case State::Letter1:
        m_letters = QByteArray(1, char(byte));
        m_state = State::Letter2;
        return {};
    case State::Letter2:
        m_letters.append(char(byte));
        m_state = State::Cr;
        return {};
    case State::Cr:
        m_state = State::Idle;
        if (byte != kCr) return {};
        frameComplete();
        if (m_letters == "AU" || m_letters == "AD" || m_letters == "CD") return reply(1, kAckReply);
        return {};
    case State::AuAck1: {
        if (byte != kAck) {
            m_state = State::Idle;
            return {};
        }
        m_blocks = m_image.blockCount();
        m_state = State::AuAckCount;
        QByteArray count;
        count.append(char(m_blocks / kByteBase)).append(char(m_blocks % kByteBase));
        return reply(2, count);
    }
    case State::AuAckCount:
    case State::AuAckBlock:
        if (byte != kAck || m_sent >= m_blocks) {
            m_state = State::Idle;
            return {};
        }
        m_state = State::AuAckBlock;
        return nextBlock();
    case State::AdCountHigh:
        m_blocks = byte * kByteBase;
        m_state = State::AdCountLow;
        return {};
    case State::AdCountLow:
        m_blocks += byte;
        if (m_blocks > layout::kMaxBlocks) {
            m_state = State::Idle;
            return QByteArray(1, char(kNack));
        }
        m_state = m_blocks > 0 ? State::AdData : State::AdFinal;
        return reply(2, kAckReply);
    case State::AdData:
        m_data.append(char(byte));
        if (m_data.size() % layout::kBlockSize != 0) return {};
        ++m_sent;
        if (m_sent >= m_blocks) m_state = State::AdFinal;
        return reply(kBlockFirstStep + m_sent - 1, kAckReply);
    case State::AdFinal:
        m_state = State::Idle;
        m_image = IndicatorImage::fromBytes(stored("AD", m_data));
        return {};
    case State::CdTank:
        m_tank = byte;
        m_state = State::CdCountHigh;
        return reply(2, kAckReply);
    case State::CdCountHigh:
        m_count = byte * kByteBase;
        m_state = State::CdCountLow;
        return {};
    case State::CdCountLow: {
        m_count += byte;
        if (!placeRecord(soundOrEmpty(), m_count)) {
            m_state = State::Idle;
            return QByteArray(1, char(kNack));
        }
        m_state = State::CdData;
        const QByteArray r = reply(3, kAckReply);
        if (m_count == 0 && m_state == State::CdData) {
            m_state = State::Idle;
            appendTank(m_tank, {});
        }
        return r;
    }
    case State::CdData: {
        m_data.append(char(byte));
        const QByteArray r = reply(kCdDataFirstStep + int(m_data.size()) - 1, kAckReply);
        if (m_state == State::CdData && m_data.size() >= m_count) {
            m_state = State::Idle;
            appendTank(m_tank, stored("CD", m_data));
        }
        return r;
    }
    }
    return {};
}

IndicatorImage SimulatedMeter::soundOrEmpty() const
{
    bool sound = m_image.length() >= layout::kRecordAreaStart;
    for (int i = 0; sound && i < layout::kHeaderConstantLength; ++i)
        sound = m_image.at(i) == layout::kHeaderConstant[std::size_t(i)];
    return sound ? m_image : emptyImage();
}

std::optional<SimulatedMeter::Placement> SimulatedMeter::placeRecord(const IndicatorImage& image,
                                                                     int length)
{
    // The directory ends where the records begin.
    if (image.at(layout::kTankCountAddress) >= layout::kMaxDirectoryEntries) return std::nullopt;
    Placement p;
    p.start = std::max(word(image, layout::kEndPointerAddress), int(layout::kRecordAreaStart));
    p.pageMark = image.at(layout::kPageMarkAddress);
    // No record crosses a page boundary: one that would starts at the boundary.
    for (int page = 1; page <= 2; ++page) {
        const int boundary = page * layout::kPageSize;
        if (p.start < boundary && p.start + length > boundary) {
            p.start = boundary;
            p.pageMark = page + 1;
        }
    }
    if (p.start + length > layout::kMaxLength) return std::nullopt;
    return p;
}

void SimulatedMeter::appendTank(int tankNumber, const QByteArray& block)
{
    const int length = int(block.size());
    m_image = soundOrEmpty();
    const std::optional<Placement> place = placeRecord(m_image, length);
    if (!place) return;
    const int tanks = m_image.at(layout::kTankCountAddress);
    const int start = place->start;
    const int pageMark = place->pageMark;
    const int end = start + length;
    for (int i = 0; i < length; ++i)
        m_image.set(start + i, std::uint8_t(block[i]));
    const int entry = layout::kDirectoryStart + layout::kDirectoryEntrySize * tanks;
    m_image.set(entry, tankNumber);
    m_image.set(entry + 1, start / kByteBase);
    m_image.set(entry + 2, start % kByteBase);
    m_image.set(layout::kTankCountAddress, tanks + 1);
    m_image.set(layout::kPageMarkAddress, pageMark);
    m_image.set(layout::kEndPointerAddress, end / kByteBase);
    m_image.set(layout::kEndPointerAddress + 1, end % kByteBase);
    const int rounded = (end + layout::kBlockSize - 1) / layout::kBlockSize * layout::kBlockSize;
    m_image.setLength(std::max(m_image.length(), rounded));
    ++m_tanksAdded;
}

} // namespace kaldor
