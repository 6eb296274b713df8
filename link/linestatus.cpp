#include "link/linestatus.h"

#include "link/exchangemessages.h"
#include "store/messages.h"
#include "store/offsetmode.h"

namespace kaldor {

namespace {

QString kindText(ExchangeKind kind)
{
    switch (kind) {
    case ExchangeKind::Read:
        return QStringLiteral("read the meter");
    case ExchangeKind::Look:
        return QStringLiteral("looked at the meter");
    case ExchangeKind::Write:
        return QStringLiteral("sent an indicator file");
    case ExchangeKind::SendTank:
        return QStringLiteral("sent one tank");
    case ExchangeKind::Clear:
        return QStringLiteral("cleared the meter");
    case ExchangeKind::Key:
        return QStringLiteral("sent a keypad key");
    case ExchangeKind::Other:
        break;
    }
    return QStringLiteral("exchange with the meter");
}

QString failureText(const ExchangeResult& r)
{
    switch (r.outcome) {
    case Outcome::Done:
        return QStringLiteral("done");
    case Outcome::TimedOut:
        return QStringLiteral("no answer from the meter at stage %1").arg(r.stage);
    case Outcome::Refused:
        return QStringLiteral("the meter refused at stage %1").arg(r.stage);
    case Outcome::Failed:
        return QStringLiteral("failed: ") + errorText(r.errorNumber);
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        break;
    }
    QString text = lineFailureText(r);
    if (text.endsWith(u'.')) text.chop(1);
    return QStringLiteral("failed: ") + text;
}

} // namespace

QString lineStatusText(const LineState& line, bool offsetMode)
{
    const QString mode = QStringLiteral(" Mode: ") + offsetModeName(offsetMode) + u'.';
    const QString& name = line.portName;
    if (line.open) return QStringLiteral("Line: %1, open.").arg(name) + mode;
    if (!line.tried) return QStringLiteral("Line: %1, opening\u2026").arg(name) + mode;
    if (line.status.ok()) return QStringLiteral("Line: %1, closed.").arg(name) + mode;
    QString why = line.status.text;
    if (why.isEmpty()) why = errorText(line.status.number());
    return QStringLiteral("Line: %1 could not be opened. %2 Choose the port under Comm.")
               .arg(name, why) +
           mode;
}

QString whatToCheck(const ExchangeResult& r)
{
    switch (r.outcome) {
    case Outcome::TimedOut:
        return QStringLiteral(
            "Check the cable, the port chosen under Comm, and that the meter is switched on.");
    case Outcome::Refused:
        return QStringLiteral(
            "The meter answered but did not accept: check that it is switched on and ready, "
            "then try again.");
    case Outcome::LineFailed:
        return QStringLiteral("Check the port chosen under Comm and the cable.");
    case Outcome::Done:
    case Outcome::Cancelled:
    case Outcome::Failed:
        break;
    }
    return {};
}

QString exchangeStatusText(const ExchangeRecord& record)
{
    QString text =
        QStringLiteral("Last exchange (%1): %2, ")
            .arg(record.finishedAt.toString(QStringLiteral("HH:mm:ss")), kindText(record.kind));
    if (!record.notWritten.isEmpty())
        return text + QStringLiteral("nothing written: %1.").arg(record.notWritten);
    text += failureText(record.result) + u'.';
    if (record.result.done()) {
        if (record.kind == ExchangeKind::Read && record.tankCount >= 0)
            text +=
                QStringLiteral(
                    " %1 %2; the image is in the working file and \"File Management > Save "
                    "Retrieved Indicator File\" keeps it.")
                    .arg(record.tankCount)
                    .arg(record.tankCount == 1 ? QStringLiteral("tank") : QStringLiteral("tanks"));
        return text;
    }
    const QString check = whatToCheck(record.result);
    return check.isEmpty() ? text : text + u' ' + check;
}

} // namespace kaldor
