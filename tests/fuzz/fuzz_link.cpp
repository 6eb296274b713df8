// Any bytes as the meter's side of the line: the replies arrive in chunks whose sizes the
// input chooses, and every exchange (read, write, single-tank send, clear) runs against them.
// Whatever the meter says, no exchange may read or write outside a buffer or hang.

#include "editor/tanksend.h"
#include "link/exchanges.h"
#include "store/curvetable.h"

#include <QDir>
#include <cstddef>
#include <cstdint>

using namespace kaldor;

namespace {

// A port whose incoming bytes come from the fuzzer's input: each look at the line lets the
// next chunk arrive, and a read hands over as many of the waiting bytes as the input says
// (possibly fewer than wait). Nothing arrives while a wait sleeps, so with zero bounds a wait
// holds only on what has already come.
class ScriptedLine : public SerialPort {
public:
    explicit ScriptedLine(QByteArray script) : m_script(std::move(script)) {}
    QString name() const override { return QStringLiteral("fuzz"); }
    PortStatus open() override { return {}; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    int bytesWaiting() override
    {
        arrive();
        return int(m_waiting.size());
    }
    QByteArray readAll() override
    {
        arrive();
        const qsizetype handed =
            m_pos < m_script.size() ? std::uint8_t(m_script[m_pos++]) % 10 : m_waiting.size();
        const QByteArray part = m_waiting.left(handed);
        m_waiting.remove(0, part.size());
        return part;
    }
    bool writeByte(std::uint8_t) override { return m_open; }
    bool waitForData(int) override { return false; }
    PortStatus lastError() const override { return {}; }

private:
    void arrive()
    {
        if (m_pos >= m_script.size()) return;
        const int chunk = std::uint8_t(m_script[m_pos++]) % 12;
        m_waiting += m_script.mid(m_pos, chunk);
        m_pos += chunk;
    }
    QByteArray m_script;
    qsizetype m_pos = 0;
    QByteArray m_waiting;
    bool m_open = true;
};

CurveTable threePoints()
{
    CurveTable t;
    const char* rows[][2] = {{"100", "0"}, {"600", "50"}, {"1100", "99.99"}};
    for (int r = 0; r < 3; ++r) {
        t.setValue(r + 1, QLatin1String(rows[r][0]));
        t.setPercent(r + 1, QLatin1String(rows[r][1]));
    }
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ScriptedLine line(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    ExchangeContext ctx{line, WaitBounds{0, 0}, [](int percent) {
                            if (percent < 0 || percent > 100) __builtin_trap();
                        }};
    const Download d = downloadImage(ctx);
    if (d.result.done() && d.image.length() != 8 * d.blockCount) __builtin_trap();
    (void)downloadMessages(d.result, DownloadVariant::MainWindow);

    QByteArray bytes;
    for (int i = 0; i < 40; ++i)
        bytes.append(char(i * 7));
    const IndicatorImage image = IndicatorImage::fromBytes(bytes);
    (void)uploadMessages(uploadImage(ctx, uploadSourceFromImage(image, int(bytes.size())),
                                     UploadVariant::MainWindow));

    for (const bool offsetMode : {true, false}) {
        const TankSendPreparation prep =
            prepareTankSend(threePoints(), 3, QStringLiteral("7"), {}, offsetMode);
        if (prep.send)
            (void)sendTankMessages(sendTankCurve(
                ctx, *prep.send, QDir::tempPath() + QStringLiteral("/kaldor-fuzz-none")));
    }
    (void)clearMessages(sendClearCommand(ctx));
    return 0;
}
