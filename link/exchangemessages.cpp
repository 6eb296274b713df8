#include "link/exchangemessages.h"

#include "store/textrules.h"

namespace kaldor {

namespace {
QString stageText(int stage) { return strNumber(static_cast<long long>(stage)); }

// What every exchange says when it failed for a reason other than the meter's answer.
Messages otherFailure(const ExchangeResult& r)
{
    if (r.outcome == Outcome::Failed)
        return {refusal(errorText(r.errorNumber))};
    return {refusal(lineFailureText(r))};
}
} // namespace

QString lineFailureText(const ExchangeResult& r)
{
    if (r.outcome == Outcome::Cancelled)
        return QStringLiteral("The exchange with the meter was stopped at stage %1.").arg(r.stage);
    const QString why = r.port.text.isEmpty() ? QStringLiteral("The serial port is not open.") : r.port.text;
    return r.stage > 0 ? QStringLiteral("%1 The exchange stopped at stage %2.").arg(why).arg(r.stage) : why;
}

Messages downloadMessages(const ExchangeResult& r, DownloadVariant variant)
{
    const bool main = variant == DownloadVariant::MainWindow;
    switch (r.outcome) {
    case Outcome::Done:
        return {info(QStringLiteral("Indicator Data Read"))};
    case Outcome::TimedOut:
        return {refusal((main ? QStringLiteral("Comm timeout ") : QStringLiteral("Comm timeout")) + stageText(r.stage))};
    case Outcome::Refused:
        if (r.stage == 1)
            return {refusal((main ? QStringLiteral("Indicator not ready ") : QStringLiteral("Nack back")) +
                            stageText(r.stage))};
        return {refusal(r.detail + QStringLiteral(" Stage") + stageText(r.stage) + u'.')};
    case Outcome::Failed:
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        break;
    }
    return otherFailure(r);
}

Messages uploadMessages(const ExchangeResult& r)
{
    switch (r.outcome) {
    case Outcome::Done:
        return {info(QStringLiteral("Data Sent"))};
    case Outcome::TimedOut:
        return {refusal(QStringLiteral("Comm timeout ") + stageText(r.stage))};
    case Outcome::Refused:
        return {refusal(r.stage == 1 ? QStringLiteral("Command not accepted") : QStringLiteral("Data not complete"))};
    case Outcome::Failed:
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        break;
    }
    return otherFailure(r);
}

Messages sendTankMessages(const ExchangeResult& r)
{
    switch (r.outcome) {
    case Outcome::Done:
        return {info(QStringLiteral("Tank data sent."))};
    case Outcome::TimedOut:
        return {refusal(QStringLiteral("Comm Timeout ") + stageText(r.stage))};
    case Outcome::Refused:
        switch (r.stage) {
        case 1:
            return {refusal(QStringLiteral("NACK COMM "))};
        case 2:
            return {refusal(QStringLiteral("NACK TANK "))};
        case 3:
            return {refusal(QStringLiteral("NACK NO. BYTES "))};
        default:
            return {refusal(QStringLiteral("NACK BYTE "))};
        }
    case Outcome::Failed:
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        break;
    }
    return otherFailure(r);
}

Messages clearMessages(const ExchangeResult& r)
{
    if (r.done())
        return {info(QStringLiteral("Clear Command Sent"))};
    return {refusal(lineFailureText(r) + QStringLiteral(" The clear command was not sent."))};
}

Messages keypadMessages(const ExchangeResult& r)
{
    if (r.done())
        return {};
    return {refusal(lineFailureText(r) + QStringLiteral(" The key was not sent to the meter."))};
}

} // namespace kaldor
