// Every exchange against the in-process simulated meter: one fault matrix over every message
// of every variant and stage, the byte traces of the worked examples, and the checks made
// before anything goes out.

#include "linktesthelpers.h"

#include "store/indicatorfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

// The first message of one exchange against a meter with the given fault, readAll() handing
// over at most chunk bytes a call (0: all); whether the working file is left afterwards.
struct Run {
    QString message;
    bool workingFile = false;
};

Run runExchange(const QString& exchange, const QString& fault, int chunk,
                const QString& workingFile)
{
    OpenMeter m(exchange == QLatin1String("send") ? SimulatedMeter::emptyImage() : twoBlockImage());
    m.port.setReadChunk(chunk);
    if (!fault.isEmpty()) m.meter->addFault(*MeterFault::parse(fault));
    QFile::remove(workingFile);
    Messages messages;
    if (exchange.startsWith(QLatin1String("read"))) {
        const Download d = downloadIndicatorFile(m.ctx, workingFile);
        if (d.result.done() && d.image != twoBlockImage()) return {QStringLiteral("wrong image")};
        messages = downloadMessages(d.result, exchange == QLatin1String("read")
                                                  ? DownloadVariant::MainWindow
                                                  : DownloadVariant::Editor);
    } else if (exchange == QLatin1String("write")) {
        messages = uploadMessages(uploadImage(m.ctx, uploadSourceFromImage(twoBlockImage(), 16),
                                              UploadVariant::MainWindow));
    } else {
        const TankSendPreparation prep =
            prepareTankSend(threePointTable(), 3, QStringLiteral("7"), {}, true);
        writeFileAtomically(workingFile, "0, 0\r\n");
        messages = sendTankMessages(sendTankCurve(m.ctx, *prep.send, workingFile));
    }
    return {messages.value(0).text, QFile::exists(workingFile)};
}

// A meter that announces 0 blocks to "AU" and then answers each acknowledgement with a block,
// as many times as it is told (-1: for ever).
class ZeroCountMeter : public SerialPort {
public:
    explicit ZeroCountMeter(int blocks) : m_blocks(blocks) {}
    QString name() const override { return QStringLiteral("zero-count meter"); }
    PortStatus open() override { return {}; }
    void close() override {}
    bool isOpen() const override { return true; }
    int bytesWaiting() override { return int(m_out.size()); }
    QByteArray readAll() override { return std::exchange(m_out, {}); }
    bool writeByte(std::uint8_t byte) override
    {
        if (++m_in == 4)
            m_out = hex("06");
        else if (m_in == 5)
            m_out = hex("0000");
        else if (m_in > 5 && byte == 0x06 && m_blocks != 0) {
            m_out = QByteArray(8, char(m_in));
            --m_blocks;
        }
        return true;
    }
    bool waitForData(int) override { return false; }
    PortStatus lastError() const override { return {}; }

private:
    int m_blocks;
    int m_in = 0;
    QByteArray m_out;
};

} // namespace

class TestExchanges : public QObject {
    Q_OBJECT
private slots:
    // Every message of every variant and stage. A message starting with "*" is looked for within
    // the text. Only a completed read leaves its working file; a send removes it either way.
    void faultMatrix_data()
    {
        QTest::addColumn<QString>("exchange");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("chunk");
        const auto row = [](const char* name, const char* exchange, const char* fault,
                            const char* message, int chunk = 0) {
            QTest::newRow(name) << QString(exchange) << QString(fault) << QString(message) << chunk;
        };
        row("read done", "read", "", "Indicator Data Read");
        row("read 1 silent", "read", "AU:1:silent", "Comm timeout  1");
        row("read 1 nack", "read", "AU:1:nack", "Indicator not ready  1");
        row("read 1 ack+extra", "read", "AU:1:extra", "Indicator Data Read");
        row("read 2 silent", "read", "AU:2:silent", "Comm timeout  2");
        row("read 2 count too big", "read", "AU:2:wrong", "*16705 blocks");
        row("read 3 silent", "read", "AU:3:silent", "Comm timeout  4");
        row("read 3 nine bytes", "read", "AU:3:extra", "Comm timeout  4");
        row("read 4 line closed", "read", "AU:4:close", "*stage 4");
        row("editor 1 nack", "read-editor", "AU:1:nack", "Nack back 1");
        row("editor 1 silent", "read-editor", "AU:1:silent", "Comm timeout 1");
        row("write done", "write", "", "Data Sent");
        row("write 1 nack", "write", "AD:1:nack", "Command not accepted");
        row("write 1 silent", "write", "AD:1:silent", "Comm timeout  1");
        row("write 2 nack", "write", "AD:2:nack", "Data not complete");
        row("write 3 wrong", "write", "AD:3:wrong", "Data not complete");
        row("write 4 silent", "write", "AD:4:silent", "Comm timeout  3");
        row("write 3 line closed", "write", "AD:3:close", "*stage 3");
        // Send one tank (offset-capable): replies 4 .. 7 are the full scale and the offset.
        row("send done", "send", "", "Tank data sent.");
        row("send 1 nack", "send", "CD:1:nack", "NACK COMM ");
        row("send 2 nack", "send", "CD:2:nack", "NACK TANK ");
        row("send 3 nack", "send", "CD:3:nack", "NACK NO. BYTES ");
        row("send 4 nack", "send", "CD:4:nack", "NACK BYTE ");
        row("send 1 silent", "send", "CD:1:silent", "Comm Timeout  1");
        row("send 2 silent", "send", "CD:2:silent", "Comm Timeout  2");
        row("send 3 silent", "send", "CD:3:silent", "Comm Timeout  3");
        row("send 7 silent", "send", "CD:7:silent", "Comm Timeout  5");
        row("send 8 silent", "send", "CD:8:silent", "Comm Timeout  4");
        row("send 6 line closed", "send", "CD:6:close", "*stage 5");
        // readAll() may hand over fewer bytes than bytesWaiting() counted: every exchange takes
        // the rest before it goes on, and still drops what follows an ACK.
        row("read, 1 byte a call", "read", "", "Indicator Data Read", 1);
        row("read, ACK and a stray byte", "read", "AU:1:extra", "Indicator Data Read", 1);
        row("write, ACK and a stray byte", "write", "AD:2:extra", "Data Sent", 1);
        row("send, ACK and a stray byte", "send", "CD:2:extra", "Tank data sent.", 1);
    }

    void faultMatrix()
    {
        QFETCH(QString, exchange);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, chunk);
        const Run run =
            runExchange(exchange, fault, chunk, m_dir.filePath(QStringLiteral("All1.DAT")));
        if (message.startsWith(u'*'))
            QVERIFY2(run.message.contains(message.mid(1)), qPrintable(run.message));
        else
            QCOMPARE(run.message, message);
        QCOMPARE(run.workingFile,
                 exchange.startsWith(QLatin1String("read")) && message == "Indicator Data Read");
    }

    void downloadTrace()
    {
        OpenMeter m(twoBlockImage());
        QList<int> progress;
        m.ctx.progress = [&](int p) { progress.append(p); };
        const QString file = m_dir.filePath(QStringLiteral("trace.dat"));
        QVERIFY(downloadIndicatorFile(m.ctx, file).result.done());
        QCOMPARE(m.port.sentBytes(), hex("0241550d06060606"));
        QCOMPARE(m.port.receivedBytes(), hex("06") + hex("0002") + twoBlockImage().bytes());
        QCOMPARE(progress, (QList<int>{0, 50, 100}));
        // The file holds 0, 2, the 16 bytes and the first byte of the second block again.
        QCOMPARE(readFile(file), formatIndicatorFile(2, twoBlockImage(), 9));
    }

    // The first reply of a read is waited for longer than the others: a meter that answers each
    // only after 150 ms passes stage 1 and times out at stage 2.
    void firstReplyWaitedLonger()
    {
        SimulatedPort port(std::make_shared<SimulatedMeter>(twoBlockImage()),
                           MeterTiming{true, std::chrono::milliseconds(150)});
        port.open();
        ExchangeContext ctx{port, WaitBounds{50, 400}, {}, nullptr};
        QCOMPARE(
            downloadMessages(downloadImage(ctx).result, DownloadVariant::MainWindow).value(0).text,
            QStringLiteral("Comm timeout  2"));
    }

    // The longest image a meter may announce, 3125 blocks, is read whole.
    void longestRead()
    {
        OpenMeter m(IndicatorImage::fromBytes(QByteArray(layout::kMaxLength, '\x21')));
        const Download d = downloadImage(m.ctx);
        QVERIFY2(d.result.done(), qPrintable(d.result.detail));
        QCOMPARE(d.image.length(), layout::kMaxLength);
    }

    void uploadTrace()
    {
        const IndicatorImage image = threeBlockImage();
        const QByteArray bytes = image.bytes();
        const QString file = m_dir.filePath(QStringLiteral("up.dat"));
        QVERIFY(writeIndicatorFile(file, 3, image, 17).ok);
        const UploadPreparation prep = uploadSourceFromFile(file, UploadVariant::MainWindow);
        QVERIFY2(prep.source, qPrintable(prep.detail));
        OpenMeter m;
        QVERIFY(uploadImage(m.ctx, *prep.source, UploadVariant::MainWindow).done());
        QCOMPARE(m.port.sentBytes(), hex("0241440d") + hex("0003") + bytes + hex("18"));
        QCOMPARE(m.port.receivedBytes(), hex("0606060606"));
        QCOMPARE(m.meter->image(), image);
    }

    void sendTrace_data()
    {
        QTest::addColumn<bool>("offsetMode");
        QTest::addColumn<QByteArray>("afterCommand");
        // The tank number, the byte count and the words of the worked example.
        QTest::newRow("offset capable") << true << hex("070010") + threePointBlock(true);
        QTest::newRow("not offset capable") << false << hex("07000e") + threePointBlock(false);
    }

    void sendTrace()
    {
        QFETCH(bool, offsetMode);
        QFETCH(QByteArray, afterCommand);
        const TankSendPreparation prep =
            prepareTankSend(threePointTable(), 3, QStringLiteral("7"), {}, offsetMode);
        QVERIFY(prep.send);
        OpenMeter m(SimulatedMeter::emptyImage());
        QVERIFY(sendTankCurve(m.ctx, *prep.send, QString()).done());
        QCOMPARE(m.port.sentBytes(), hex("0243440d") + afterCommand);
        // One ACK after the command, the tank number, the two count bytes and every data byte.
        QCOMPARE(m.port.receivedBytes(), QByteArray(afterCommand.size(), char(0x06)));
        // The meter filed it as the first record.
        QCOMPARE(m.meter->image().at(layout::kTankCountAddress), 1);
        QCOMPARE(m.meter->image().at(layout::kDirectoryStart), 7);
    }

    void clearAndKeypadTrace()
    {
        OpenMeter m(twoBlockImage());
        QCOMPARE(clearMessages(sendClearCommand(m.ctx)).value(0).text,
                 QStringLiteral("Clear Command Sent"));
        QCOMPARE(m.port.sentBytes(), hex("02434c0d"));
        QCOMPARE(m.meter->image().at(layout::kTankCountAddress), 0);
        m.port.clearTrace();
        QVERIFY(keypadMessages(sendKeypadCommand(m.ctx, KeypadKey::Program, true)).isEmpty());
        for (const KeypadKey key :
             {KeypadKey::Up, KeypadKey::Up, KeypadKey::Up, KeypadKey::Down, KeypadKey::Set})
            sendKeypadCommand(m.ctx, key);
        QCOMPARE(m.port.sentBytes(), hex("0250470d"
                                         "0255500d0255500d0255500d"
                                         "02444e0d"
                                         "0253570d"));
        QCOMPARE(m.port.receivedBytes(), QByteArray());
        QCOMPARE(m.meter->commandCount("UP"), 3);
    }

    void uploadRefusesUnsoundFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("11 of 16 values")
            << QByteArray("0,2,1,2,3,4,5,6,7,8,9,10,11") << "11 of 16 image values";
        // Too short for the header and directory the meter reads first: it would stop answering.
        QTest::newRow("2 blocks") << QByteArray("0,2,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,9")
                                  << "16 bytes, too few for the meter's header";
        QTest::newRow("directory cut short")
            << QByteArray("0,3,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,9,0,0,0,0,0,0,0,0")
            << "too few for the header and the directory of its 9 tanks (47 bytes)";
    }

    void uploadRefusesUnsoundFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString file = m_dir.filePath(QStringLiteral("bad.idr"));
        QVERIFY(writeFileAtomically(file, content).ok);
        for (const UploadVariant v : {UploadVariant::MainWindow, UploadVariant::FileManagement}) {
            const UploadPreparation prep = uploadSourceFromFile(file, v);
            QVERIFY(!prep.source);
            QVERIFY2(prep.messages.value(0).text.contains(message),
                     qPrintable(prep.messages.value(0).text));
            QVERIFY2(prep.messages.value(0).text.startsWith(file),
                     qPrintable(prep.messages.value(0).text));
            QCOMPARE(prep.messages.value(0).kind, MessageKind::Refusal);
        }
        // A missing file: the main window's own text, the others the error number; the detail
        // names the file for the headless tool.
        const QString missing = m_dir.filePath(QStringLiteral("missing.dat"));
        const UploadPreparation main = uploadSourceFromFile(missing, UploadVariant::MainWindow);
        QCOMPARE(main.messages.value(0).text, QStringLiteral("Get Indicator data first "));
        QVERIFY2(main.detail.startsWith(missing + QStringLiteral(": ")), qPrintable(main.detail));
        QCOMPARE(uploadSourceFromFile(missing, UploadVariant::Viewer).messages.value(0).text,
                 QStringLiteral("Error:  53"));
    }

    void sendRefusesBeforeWriting_data()
    {
        QTest::addColumn<QString>("tankNumber");
        QTest::addColumn<QString>("lastValue");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* tank, const char* last,
                            const char* message) {
            QTest::newRow(name) << QString(tank) << QString(last) << QString(message);
        };
        const char* range = "Input not accepted. Tank number must be between 1 and 255.";
        row("tank in use", "7", "1100", "Tank number already in use.");
        row("tank 007 in use", "007", "1100", "Tank number already in use.");
        row("tank 256", "256", "1100", range);
        row("tank 0.4 rounds to 0", "0.4", "1100", range);
        row("full scale 0", "5", "100", "Last value in grid must be largest");
        // The meter reads the high bit of the full scale as a sign.
        row("full scale 32768", "5", "32868", "The full scale 32768 is too large");
    }

    void sendRefusesBeforeWriting()
    {
        QFETCH(QString, tankNumber);
        QFETCH(QString, lastValue);
        QFETCH(QString, message);
        CurveTable table = threePointTable();
        table.setValue(2, QStringLiteral("100"));
        table.setValue(3, lastValue);
        const TankSendPreparation prep = prepareTankSend(table, 3, tankNumber, {3, 7}, true);
        QVERIFY(!prep.send);
        QVERIFY2(prep.messages.value(0).text.startsWith(message),
                 qPrintable(prep.messages.value(0).text));
    }

    void closedPortIsReported_data()
    {
        QTest::addColumn<QString>("exchange");
        for (const char* exchange : {"clear", "key", "read", "send"})
            QTest::newRow(exchange) << QString(exchange);
    }

    void closedPortIsReported()
    {
        QFETCH(QString, exchange);
        SimulatedPort port(std::make_shared<SimulatedMeter>());
        ExchangeContext ctx{port, shortBounds(), {}, nullptr};
        const QString file = m_dir.filePath(QStringLiteral("keep.dat"));
        QVERIFY(writeFileAtomically(file, "0, 0\r\n").ok);
        Messages m;
        if (exchange == QLatin1String("clear"))
            m = clearMessages(sendClearCommand(ctx));
        else if (exchange == QLatin1String("key"))
            m = keypadMessages(sendKeypadCommand(ctx, KeypadKey::Up));
        else if (exchange == QLatin1String("read"))
            m = downloadMessages(downloadImage(ctx).result, DownloadVariant::MainWindow);
        else
            m = sendTankMessages(sendTankCurve(ctx, TankSend{7, hex("03e8"), false}, file));
        QCOMPARE(m.size(), 1);
        QCOMPARE(m.first().kind, MessageKind::Refusal);
        QVERIFY2(m.first().text.contains(QLatin1String("not open")), qPrintable(m.first().text));
        QVERIFY(port.sentBytes().isEmpty());
        // The send never began, so the working file stays.
        QVERIFY(QFile::exists(file));
    }

    void uploadProgress_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("main: per block")
            << int(UploadVariant::MainWindow) << QList<int>{0, 50, 100};
        QTest::newRow("construction: per byte")
            << int(UploadVariant::Construction)
            << QList<int>{0, 6, 12, 19, 25, 31, 38, 44, 50, 56, 62, 69, 75, 81, 88, 94, 100};
    }

    void uploadProgress()
    {
        QFETCH(int, variant);
        OpenMeter m;
        QList<int> seen;
        m.ctx.progress = [&](int p) { seen.append(p); };
        QVERIFY(
            uploadImage(m.ctx, uploadSourceFromImage(twoBlockImage(), 16), UploadVariant(variant))
                .done());
        QTEST(seen, "expected");
    }

    // A count of 0 never completes: the read ends at the stage 4 time-out however many blocks
    // come, and a meter that never stops is cut off at the end of the buffer.
    void zeroBlocksAnnounced_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("message");
        QTest::newRow("no block") << 0 << "Comm timeout  4";
        QTest::newRow("blocks for ever")
            << -1 << "The meter announced 0 blocks and sent more than 3125. Stage 4.";
    }

    void zeroBlocksAnnounced()
    {
        QFETCH(int, blocks);
        ZeroCountMeter meter(blocks);
        ExchangeContext ctx{meter, WaitBounds{0, 0}, {}, nullptr};
        QTEST(
            downloadMessages(downloadImage(ctx).result, DownloadVariant::MainWindow).value(0).text,
            "message");
    }

    // A tank the image cannot take is refused at its byte count, and the image stays as it was.
    void meterRefusesTankThatDoesNotFit_data()
    {
        QTest::addColumn<int>("endPointer");
        QTest::addColumn<int>("tanks");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("start"); // where the record went, when it fitted
        QTest::newRow("past address 25000") << 24990 << 1 << "NACK NO. BYTES " << 0;
        QTest::newRow("directory full")
            << 600 << layout::kMaxDirectoryEntries << "NACK NO. BYTES " << 0;
        QTest::newRow("moved to the page boundary") << 8190 << 1 << "Tank data sent." << 8192;
        QTest::newRow("ends at 25000") << 24984 << 1 << "Tank data sent." << 24984;
    }

    void meterRefusesTankThatDoesNotFit()
    {
        QFETCH(int, endPointer);
        QFETCH(int, tanks);
        QFETCH(QString, message);
        QFETCH(int, start);
        IndicatorImage image = SimulatedMeter::emptyImage();
        image.set(layout::kEndPointerAddress, endPointer / 256);
        image.set(layout::kEndPointerAddress + 1, endPointer % 256);
        image.set(layout::kTankCountAddress, tanks);
        image.setLength(endPointer / 8 * 8);
        OpenMeter m(image);
        const TankSendPreparation prep =
            prepareTankSend(threePointTable(), 3, QStringLiteral("7"), {}, true);
        QCOMPARE(prep.send->block.size(), 16);
        QCOMPARE(sendTankMessages(sendTankCurve(m.ctx, *prep.send, QString())).value(0).text,
                 message);
        if (start == 0) {
            QCOMPARE(m.meter->image(), image);
            QCOMPARE(m.port.receivedBytes().right(1), hex("15"));
        } else {
            const int entry = layout::kDirectoryStart + layout::kDirectoryEntrySize * tanks;
            QCOMPARE(m.meter->image().at(entry + 1) * 256 + m.meter->image().at(entry + 2), start);
        }
    }

    // A program that stops in the middle of a write leaves a meter that takes the next command:
    // after a pause between bytes the half-received frame is dropped, bytes without a frame are
    // never stored, and a new 0x02 starts over.
    void meterDropsHalfFrameAfterPause()
    {
        SimulatedMeter meter(twoBlockImage());
        auto t = SimulatedMeter::Clock::now();
        const auto feed = [&](const QByteArray& bytes,
                              std::chrono::milliseconds gap = std::chrono::milliseconds(1)) {
            QByteArray replies;
            for (const char c : bytes) {
                t += gap;
                gap = std::chrono::milliseconds(1);
                replies += meter.receive(std::uint8_t(c), t);
            }
            return replies;
        };
        QCOMPARE(feed(hex("0241440d") + hex("0002") + hex("0102030405")), hex("0606"));
        // Half a block, then a pause: stray bytes, then a read that is answered as usual.
        QCOMPARE(feed(hex("aabbccdd") + hex("0241550d"), SimulatedMeter::kFramePause), hex("06"));
        QCOMPARE(feed(hex("06")), hex("0002"));
        QCOMPARE(meter.image(), twoBlockImage());
        // Just short of the pause the frame goes on.
        SimulatedMeter patient;
        t += std::chrono::seconds(1);
        QByteArray replies;
        for (const char c : hex("0241440d0001")) {
            t += SimulatedMeter::kFramePause - std::chrono::milliseconds(1);
            replies += patient.receive(std::uint8_t(c), t);
        }
        QCOMPARE(replies, hex("0606"));
        // A pause counts from the end of the meter's own answer, however slow that was.
        SimulatedMeter slow;
        replies.clear();
        for (const char c : hex("0241440d"))
            replies += slow.receive(std::uint8_t(c), t);
        slow.answerSent(t + std::chrono::seconds(2));
        for (const char c : hex("0001"))
            replies += slow.receive(std::uint8_t(c), t + std::chrono::milliseconds(2100));
        QCOMPARE(replies, hex("0606"));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestExchanges)
#include "tst_exchanges.moc"
