#include "link/exchangemessages.h"

#include "store/textrules.h"

#include <QStringList>

namespace kaldor {

namespace {
QString stageText(int stage)
{
    return strNumber(static_cast<long long>(stage));
}

// What every exchange says when it failed for a reason other than the meter's answer.
Messages otherFailure(const ExchangeResult& r)
{
    if (r.outcome == Outcome::Failed) return {refusal(errorText(r.errorNumber))};
    return {refusal(lineFailureText(r))};
}
} // namespace

QString lineFailureText(const ExchangeResult& r)
{
    if (r.outcome == Outcome::Cancelled)
        return QStringLiteral("The exchange with the meter was stopped at stage %1.").arg(r.stage);
    const QString why =
        r.port.text.isEmpty() ? QStringLiteral("The serial port is not open.") : r.port.text;
    return r.stage > 0
               ? QStringLiteral("%1 The exchange stopped at stage %2.").arg(why).arg(r.stage)
               : why;
}

namespace {

// What one exchange says for each answer of the meter: done, timed out (the stage follows) and
// refused at stage 1, 2, …, the last text standing for every stage past the table, or, when
// detailPastTable is set, the meter's own words and the stage.
struct ExchangeTexts {
    QString done;
    QString timedOut;
    QStringList refused;
    bool stageAfterRefusal = false;
    bool detailPastTable = false;
};

const ExchangeTexts kMainWindowDownload{QStringLiteral("Indicator Data Read"),
                                        QStringLiteral("Comm timeout "),
                                        {QStringLiteral("Indicator not ready ")},
                                        true,
                                        true};
const ExchangeTexts kEditorDownload{QStringLiteral("Indicator Data Read"),
                                    QStringLiteral("Comm timeout"),
                                    {QStringLiteral("Nack back")},
                                    true,
                                    true};
const ExchangeTexts kUpload{
    QStringLiteral("Data Sent"),
    QStringLiteral("Comm timeout "),
    {QStringLiteral("Command not accepted"), QStringLiteral("Data not complete")}};
const ExchangeTexts kSendTank{QStringLiteral("Tank data sent."),
                              QStringLiteral("Comm Timeout "),
                              {QStringLiteral("NACK COMM "), QStringLiteral("NACK TANK "),
                               QStringLiteral("NACK NO. BYTES "), QStringLiteral("NACK BYTE ")}};

QString refusedText(const ExchangeResult& r, const ExchangeTexts& texts)
{
    const bool inTable = r.stage >= 1 && r.stage <= texts.refused.size();
    if (!inTable && texts.detailPastTable)
        return r.detail + QStringLiteral(" Stage") + stageText(r.stage) + u'.';
    const QString& text = inTable ? texts.refused.at(r.stage - 1) : texts.refused.last();
    return texts.stageAfterRefusal ? text + stageText(r.stage) : text;
}

Messages exchangeMessages(const ExchangeResult& r, const ExchangeTexts& texts)
{
    switch (r.outcome) {
    case Outcome::Done:
        return {info(texts.done)};
    case Outcome::TimedOut:
        return {refusal(texts.timedOut + stageText(r.stage))};
    case Outcome::Refused:
        return {refusal(refusedText(r, texts))};
    case Outcome::Failed:
    case Outcome::LineFailed:
    case Outcome::Cancelled:
        break;
    }
    return otherFailure(r);
}

} // namespace

Messages downloadMessages(const ExchangeResult& r, DownloadVariant variant)
{
    return exchangeMessages(r, variant == DownloadVariant::MainWindow ? kMainWindowDownload
                                                                      : kEditorDownload);
}

Messages uploadMessages(const ExchangeResult& r)
{
    return exchangeMessages(r, kUpload);
}

Messages sendTankMessages(const ExchangeResult& r)
{
    return exchangeMessages(r, kSendTank);
}

Messages clearMessages(const ExchangeResult& r)
{
    if (r.done()) return {info(QStringLiteral("Clear Command Sent"))};
    return {refusal(lineFailureText(r) + QStringLiteral(" The clear command was not sent."))};
}

Messages keypadMessages(const ExchangeResult& r)
{
    if (r.done()) return {};
    return {refusal(lineFailureText(r) + QStringLiteral(" The key was not sent to the meter."))};
}

} // namespace kaldor
