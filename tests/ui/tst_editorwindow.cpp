// The tank editor driven through its widgets, opened from the main window against the
// in-process simulated meter: the whole road of editing one tank, a tank shown in both modes,
// the spec's three-point tank file saved, reopened and sent in both modes, what the checks
// refuse before anything is written, bad typing in every entry, and closing mid-exchange.

#include "editor/curvegrid.h"
#include "editor/editorwindow.h"
#include "graph/graphwindow.h"
#include "link/link.h"
#include "shell/mainwindow.h"
#include "sim/simulatedport.h"
#include "store/indicatorfile.h"
#include "store/indicatortanks.h"
#include "store/tankrecords.h"
#include "store/workingfile.h"
#include "tests/support/scripteddialogs.h"

#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace kaldor;

namespace
{

using Rows = QList<QStringList>; // VALUE, percentage

const QString kRefusal =
    QStringLiteral("Input not accepted. Tank number must be between 1 and 255.");

IndicatorImage sampleImage()
{
    return loadIndicatorFile(QStringLiteral(KALDOR_SOURCE_DIR "/samples/three-tanks.idr")).image;
}

// One tank, 5, at 512: full scale 1000, word 2 = 100, then the words (0, 0), (16385, 16383),
// (32767, 32767).
IndicatorImage oneTankImage()
{
    IndicatorImage image;
    const QByteArray record =
        *encodeTankRecord(1000, 100, {{0, 0}, {16385, 16383}, {32767, 32767}}, true);
    const int start = layout::kRecordAreaStart;
    const int end = start + int(record.size());
    image.set(layout::kDirectoryStart, 5);
    image.set(layout::kDirectoryStart + 1, start / 256);
    image.set(layout::kDirectoryStart + 2, start % 256);
    for (int b = 0; b < record.size(); ++b)
        image.set(start + b, static_cast<std::uint8_t>(record[b]));
    image.set(layout::kEndPointerAddress, end / 256);
    image.set(layout::kEndPointerAddress + 1, end % 256);
    image.set(layout::kTankCountAddress, 1);
    image.setLength((end + 7) / 8 * 8);
    return image;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeWorkingFile(const IndicatorImage& image)
{
    writeFile(workingFilePath(), formatIndicatorFile(image.length() / 8, image, 0));
}

// A tank file in the offset-capable layout (full scale and offset are not read back).
QByteArray tankFileOf(const QString& tank, const Rows& rows)
{
    QByteArray text =
        tank.toLatin1() + "\r\n 0 \r\n 0 \r\n " + QByteArray::number(rows.size()) + " \r\n";
    for (const QStringList& row : rows)
        text += row[0].toLatin1() + ", " + row[1].toLatin1() + ",";
    return text;
}

Rows rowsOf(const CurveTable& t)
{
    Rows rows;
    for (int r = 1; r <= t.filledRows(); ++r)
        rows.append({t.value(r), t.percent(r)});
    return rows;
}

QLineSeries* seriesOf(GraphWindow* graph)
{
    return graph->findChild<QChartView*>(QStringLiteral("Graph1"))
        ->chart()
        ->findChild<QLineSeries*>();
}

// The program's parts wired as main() wires them, the meter behind port 1.
struct Rig {
    explicit Rig(IndicatorImage image = sampleImage(), MeterTiming timing = {})
        : meter(std::make_shared<SimulatedMeter>(image))
    {
        link = std::make_unique<Link>(
            [this, timing](const PortSpec&) -> std::unique_ptr<SerialPort> {
                auto p = std::make_unique<SimulatedPort>(meter, timing);
                port = p.get();
                return p;
            },
            WaitBounds{150, 300});
        window = std::make_unique<MainWindow>(*link, dialogs);
        window->startUp();
    }
    ~Rig()
    {
        window.reset();
        link.reset();
    }

    bool waitIdle()
    {
        QTest::qWait(20);
        return QTest::qWaitFor([this] { return !link->isBusy(); }, 10000);
    }
    // Opens the editor from File Management > Tank Files, or on a tank file as the command
    // line does, after switching the main window's mode when asked.
    EditorWindow* openEditor(bool offsetMode = true, const QString& tankFile = {})
    {
        if (!waitIdle()) return nullptr;
        if (!offsetMode)
            QTest::mouseClick(window->findChild<QCheckBox*>(QStringLiteral("Check1")),
                              Qt::LeftButton);
        if (tankFile.isEmpty())
            window->findChild<QAction*>(QStringLiteral("tfiles"))->trigger();
        else
            window->showTankEditor(tankFile);
        editor = window->findChild<EditorWindow*>(QStringLiteral("atnkfrm"));
        return editor;
    }
    template <class T> T* child(const char* name)
    {
        return editor->findChild<T*>(QLatin1String(name));
    }
    void trigger(const char* name) { child<QAction>(name)->trigger(); }
    CurveGrid* grid() { return child<CurveGrid>("Grid1"); }
    QListWidget* list() { return child<QListWidget>("List1"); }
    QStringList items()
    {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts.append(list()->item(i)->text());
        return texts;
    }
    void doubleClickTank(int row)
    {
        QListWidget* l = list();
        const QRect rect =
            row < 0 ? QRect(0, l->viewport()->height() - 4, 4, 4) : l->visualItemRect(l->item(row));
        // A real double-click starts with a press, which selects the item.
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Types text into an entry box and presses Enter.
    void enter(const char* name, const QString& text)
    {
        auto* entry = child<QLineEdit>(name);
        QTest::keyClicks(entry, text);
        QTest::keyClick(entry, Qt::Key_Return);
    }
    QByteArray sent() { return port ? port->sentBytes() : QByteArray(); }

    std::shared_ptr<SimulatedMeter> meter;
    SimulatedPort* port = nullptr; // owned by the link
    ScriptedDialogs dialogs;
    std::unique_ptr<Link> link;
    std::unique_ptr<MainWindow> window;
    QPointer<EditorWindow> editor;
};

} // namespace

class TestEditorWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeRoad();
    void load_data();
    void load();
    void showTank_data();
    void showTank();
    void threePointTank_data();
    void threePointTank();
    void refusedBeforeWriting_data();
    void refusedBeforeWriting();
    void badTyping_data();
    void badTyping();
    void busyAndClosedMidExchange_data();
    void busyAndClosedMidExchange();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

void TestEditorWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestEditorWindow::cleanup()
{
    QDir::setCurrent(m_oldDir);
    m_dir.reset();
}

// Read the meter from the editor, show a tank, change a point by typing, check and graph it,
// send it under a new tank number, save and reopen it as a tank file, read the meter again and
// find the new tank holding the words sent, close.
void TestEditorWindow::wholeRoad()
{
    Rig rig;
    rig.dialogs.queueAnswer(Answer::Yes); // no working file: read the meter
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor && editor->isVisible());
    QVERIFY(!rig.window->isVisible());
    QCOMPARE(editor->windowTitle(), QStringLiteral("Edit Tank Data (Meter Offset Capable)"));
    QStringList captions;
    for (QAction* a : editor->menuBar()->actions())
        captions.append(a->text());
    QCOMPARE(captions, (QStringList{"&File", "&Graph", "&Clear", "&Read Indicator",
                                    "&Send Tank data", "C&lose"}));
    auto* fileMenu = rig.child<QMenu>("afile");
    QCOMPARE(fileMenu->title(), QStringLiteral("&File"));
    QStringList fileItems;
    for (QAction* a : fileMenu->actions())
        fileItems << a->objectName() + '=' + a->text();
    QCOMPARE(fileItems, (QStringList{"topen=&Open", "tsave=Save &As"}));
    for (const char* name : {"agraph", "aclear", "tread", "asend", "tclose"})
        QVERIFY2(rig.child<QAction>(name), name);

    const ScriptedDialogs::Shown asked = rig.dialogs.shown().value(0);
    QCOMPARE(asked.kind, ScriptedDialogs::Shown::Question);
    QCOMPARE(asked.text,
             QStringLiteral("No indicator file in buffer. Do you want to get the indicator file?"));
    QCOMPARE(asked.title, QStringLiteral("No indicator file"));
    QCOMPARE(asked.icon, QuestionIcon::Critical);
    QCOMPARE(asked.defaultAnswer, Answer::No);
    auto* bar = rig.child<QProgressBar>("pbTank");
    QVERIFY(bar->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages(), QStringList{"Indicator Data Read"});
    QVERIFY(!bar->isVisible());
    QCOMPARE(bar->value(), 100);
    QCOMPARE(rig.items(), (QStringList{"Tank  12", "Tank  3", "Tank  7"}));
    QCOMPARE(rig.child<QLabel>("Label3")->text(), QStringLiteral("Tanks in Indicator"));

    // Tank 12; its last VALUE emptied by a double-click and typed again.
    rig.doubleClickTank(0);
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank  12"));
    const int points = editor->pointCount();
    QVERIFY(points >= 2);
    CurveGrid* grid = rig.grid();
    grid->setCurrentCell({points, CurveTable::kValueColumn});
    QTest::mouseDClick(
        grid->viewport(), Qt::LeftButton, {},
        grid->visualRect(grid->model()->index(points, CurveTable::kValueColumn)).center());
    QCOMPARE(grid->table().value(points), QString());
    QTest::keyClicks(grid, QStringLiteral("9999"));
    QCOMPARE(grid->table().value(points), QStringLiteral("9999"));

    // Graph: the checked curve's points by the Val rule, the changed one last.
    QStringList checking;
    auto* status = rig.child<QLineEdit>("Text1");
    connect(status, &QLineEdit::textChanged, this, [&](const QString& t) {
        if (status->isVisible()) checking.append(t);
    });
    rig.trigger("agraph");
    QCOMPARE(checking, QStringList{"Checking data order."});
    QVERIFY(!status->isVisible());
    QVERIFY(editor->curveValid());
    QPointer<GraphWindow> graph = editor->graphWindow();
    QVERIFY(graph && graph->isVisible() && editor->isEnabled());
    QLineSeries* series = seriesOf(graph);
    QCOMPARE(series->count(), points);
    QCOMPARE(series->points().constLast(), QPointF(99.99, 9999));

    // Send: a refused number is asked again, a good one goes on with the send.
    rig.trigger("asend");
    auto* entry = rig.child<QLineEdit>("text2");
    auto* prompt = rig.child<QLabel>("Label2");
    QVERIFY(entry->isVisible() && prompt->isVisible());
    QCOMPARE(prompt->text(), QStringLiteral("Enter Tank Address\r\nand press the Enter Key"));
    rig.enter("text2", "abc");
    QCOMPARE(rig.dialogs.messages().constLast(), kRefusal);
    QVERIFY(entry->isVisible() && entry->text().isEmpty());
    QVERIFY(!rig.sent().contains("\2CD"));
    rig.enter("text2", "9");
    QVERIFY(!entry->isVisible() && !prompt->isVisible());
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank 9"));
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Tank data sent."));
    QVERIFY(!QFile::exists(workingFilePath()));
    const CurveTable sentCurve = grid->table();
    rig.trigger("asend");
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Read Indicator first."));

    // Save As: a wrong extension asks again; Label1 follows the typed number.
    const QString path = m_dir->filePath(QStringLiteral("road.tnk"));
    rig.dialogs.queueFileName(m_dir->filePath(QStringLiteral("road.Tnk")));
    rig.dialogs.queueFileName(path);
    rig.trigger("tsave");
    const ScriptedDialogs::Shown dialog = rig.dialogs.shown().constLast();
    QCOMPARE(dialog.kind, ScriptedDialogs::Shown::Save);
    QCOMPARE(dialog.text, QStringLiteral("Tank (*.tnk)"));
    QCOMPARE(dialog.defaultSuffix, QStringLiteral("tnk"));
    QVERIFY(dialog.confirmOverwrite);
    QVERIFY(rig.dialogs.messages().contains(QStringLiteral("Wrong file extension")));
    QVERIFY(rig.child<QLineEdit>("Text3")->isVisible());
    rig.enter("Text3", "300");
    QCOMPARE(rig.dialogs.messages().constLast(), kRefusal);
    QVERIFY(!QFile::exists(path));
    rig.enter("Text3", "21");
    QCOMPARE(rig.dialogs.messages().constLast(), "File " + path + " saved.");
    QVERIFY(!rig.child<QLineEdit>("Text3")->isVisible());
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank 21"));

    // Clear, then Open brings the saved curve and its tank number back.
    rig.trigger("aclear");
    QCOMPARE(grid->table(), CurveTable());
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QString());
    rig.dialogs.queueFileName(path);
    rig.trigger("topen");
    // The file's reader skips the blank that leads a shown percentage such as " 50.00".
    Rows reopened = rowsOf(sentCurve);
    for (QStringList& row : reopened)
        row[1] = row[1].trimmed();
    QCOMPARE(rowsOf(grid->table()), reopened);
    QCOMPARE(editor->tankNumberText(), QStringLiteral("21"));
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank 21"));

    // Read again: tank 9 is in the meter, holding the block that went out after "CD", 9 and
    // the byte count.
    const int before = rig.dialogs.messages().size();
    rig.trigger("tread");
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().size(), before + 1);
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Indicator Data Read"));
    QCOMPARE(rig.items(), (QStringList{"Tank  12", "Tank  3", "Tank  7", "Tank  9"}));
    const QByteArray sent = rig.sent();
    const qsizetype cd = sent.indexOf("\2CD\r");
    QVERIFY(cd >= 0);
    QCOMPARE(int(sent[cd + 4]), 9);
    const int count = (std::uint8_t(sent[cd + 5]) << 8) | std::uint8_t(sent[cd + 6]);
    QCOMPARE(count, 4 * points + 4);
    const IndicatorTanks tanks = loadIndicatorTanks(workingFilePath());
    QCOMPARE(tanks.records.size(), 4);
    const int start = tanks.records.constLast().start;
    QCOMPARE(rig.meter->image().bytes().mid(start, count), sent.mid(cd + 7, count));

    // Closing shows the main window again and removes the working file.
    rig.trigger("tclose");
    QVERIFY(rig.window->isVisible());
    QVERIFY(!QFile::exists(workingFilePath()));
    QTRY_VERIFY(!rig.editor);
    QVERIFY(!graph);
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestEditorWindow::load_data()
{
    QTest::addColumn<QByteArray>("workingFile"); // empty: none
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("loaded"); // the send goes on to check the empty curve

    const IndicatorImage noTanks = IndicatorImage::fromBytes(QByteArray(24, '\0'));
    QTest::newRow("missing, answered No") << QByteArray() << QStringList{} << false;
    QTest::newRow("no tanks") << formatIndicatorFile(3, noTanks, 0) << QStringList{"No tank data"}
                              << true;
    QTest::newRow("ends right after the image")
        << QByteArray("0 , 1 , 1 , 2 , 3 , 4 , 5 , 6 , 7 , 8 ")
        << QStringList{"Error-End of data before end of count"} << true;
    QTest::newRow("not a number") << QByteArray("0 , 1 , x") << QStringList{"Error:  13"} << true;
}

// What the load says; the list stays empty and the window open.
void TestEditorWindow::load()
{
    QFETCH(QByteArray, workingFile);
    QFETCH(QStringList, messages);
    QFETCH(bool, loaded);

    if (!workingFile.isEmpty()) writeFile(workingFilePath(), workingFile);
    Rig rig;
    if (workingFile.isEmpty()) rig.dialogs.queueAnswer(Answer::No);
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(rig.items(), QStringList{});
    rig.trigger("asend");
    const QString probe =
        loaded ? QStringLiteral("No data in grid.") : QStringLiteral("Read Indicator first.");
    QCOMPARE(rig.dialogs.messages(), messages + QStringList{probe});
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestEditorWindow::showTank_data()
{
    QTest::addColumn<bool>("offsetMode");
    QTest::addColumn<int>("item"); // -1: a double-click below the items
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("offset capable")
        << true << 0 << Rows{{"-100", " 0"}, {"400", " 50.00"}, {"900", "99.99"}} << QStringList{};
    // The same words read in the other layout: word 2 is a percentage, the last point has no
    // value word.
    QTest::newRow("not offset capable")
        << false << 0 << Rows{{"-100", " .3051"}, {"400", " 0"}, {"900", " 49.99"}, {"", "99.99"}}
        << QStringList{};
    QTest::newRow("nothing selected") << true << -1 << Rows{} << QStringList{"Nothing in box"};
}

void TestEditorWindow::showTank()
{
    QFETCH(bool, offsetMode);
    QFETCH(int, item);
    QFETCH(Rows, rows);
    QFETCH(QStringList, messages);

    writeWorkingFile(oneTankImage());
    Rig rig;
    EditorWindow* editor = rig.openEditor(offsetMode);
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(),
             offsetMode ? QStringLiteral("Edit Tank Data (Meter Offset Capable)")
                        : QStringLiteral("Edit Tank Data (Meter Not Offset Capable)"));
    QCOMPARE(rig.items(), QStringList{"Tank  5"});
    rig.doubleClickTank(item);
    QCOMPARE(rowsOf(rig.grid()->table()), rows);
    QCOMPARE(rig.dialogs.messages(), messages);
    if (item >= 0) {
        QCOMPARE(editor->pointCount(), rows.size());
        QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank  5"));
    }
}

void TestEditorWindow::threePointTank_data()
{
    QTest::addColumn<bool>("offsetMode");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("offset capable")
        << true << QByteArray("5\r\n 1000 \r\n-100 \r\n 3 \r\n100, 0,600, 50,1100, 99.99,")
        << QByteArray::fromHex("0243440D"
                               "05"
                               "0010"
                               "03E8"
                               "8064"
                               "00000000"
                               "40013FFF"
                               "7FFF7FFF");
    QTest::newRow("not offset capable")
        << false << QByteArray("5\r\n 1100 \r\n 3 \r\n100, 0,600, 50,1100, 99.99,")
        << QByteArray::fromHex("0243440D"
                               "05"
                               "000E"
                               "044C"
                               "00000BA2"
                               "400145D0"
                               "7FFF7FFF");
}

// Started on the spec's example tank file (kaldor FILE.tnk), saved again byte for byte, and
// sent under its own tank number without asking for one.
void TestEditorWindow::threePointTank()
{
    QFETCH(bool, offsetMode);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, wire);

    writeWorkingFile(sampleImage());
    const QString example = m_dir->filePath(QStringLiteral("example.tnk"));
    writeFile(example, file);
    Rig rig;
    EditorWindow* editor = rig.openEditor(offsetMode, example);
    QVERIFY(editor);
    QCOMPARE(rig.items().size(), 3);
    QCOMPARE(rowsOf(rig.grid()->table()), (Rows{{"100", "0"}, {"600", "50"}, {"1100", "99.99"}}));
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank 5"));

    const QString copy = m_dir->filePath(QStringLiteral("copy.tnk"));
    rig.dialogs.queueFileName(copy);
    rig.trigger("tsave");
    rig.enter("Text3", "5");
    QCOMPARE(readFile(copy), file);

    rig.trigger("asend");
    QVERIFY(!rig.child<QLineEdit>("text2")->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Tank data sent."));
    QCOMPARE(rig.sent().mid(rig.sent().indexOf("\2CD")), wire);
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestEditorWindow::refusedBeforeWriting_data()
{
    QTest::addColumn<QString>("tank");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("messages"); // each a prefix of the message shown
    QTest::addColumn<QList<QPointF>>("graph"); // what the graph draws; empty: no graph

    const Rows rising{{"100", "0"}, {"2000", "50"}, {"1100", "99.99"}};
    const Rows wide{{"100", "0"}, {"32868", "99.99"}};
    QTest::newRow("send: a middle value above the last")
        << "5" << rising << "asend" << QStringList{"Last value in grid must be largest"}
        << QList<QPointF>{};
    QTest::newRow("send without a tank number: a middle value above the last")
        << "" << rising << "asend" << QStringList{"Last value in grid must be largest"}
        << QList<QPointF>{};
    QTest::newRow("save: a middle value above the last")
        << "5" << rising << "tsave" << QStringList{"Last value in grid must be largest"}
        << QList<QPointF>{};
    QTest::newRow("send: tank 0 from the file")
        << "0" << Rows{{"1", "0"}, {"2", "99.99"}} << "asend" << QStringList{kRefusal}
        << QList<QPointF>{};
    QTest::newRow("send: tank 300 from the file")
        << "300" << Rows{{"1", "0"}, {"2", "99.99"}} << "asend" << QStringList{kRefusal}
        << QList<QPointF>{};
    QTest::newRow("send: full scale 32768")
        << "5" << wide << "asend" << QStringList{"The full scale 32768 is too large for the meter"}
        << QList<QPointF>{};
    QTest::newRow("save: full scale 32768")
        << "5" << wide << "tsave"
        << QStringList{"The full scale 32768 is too large for a tank file"} << QList<QPointF>{};
    QTest::newRow("send: an empty grid")
        << "5" << Rows{} << "asend" << QStringList{"No data in grid."} << QList<QPointF>{};
    QTest::newRow("graph: last percentage 95")
        << "5" << Rows{{"1", "0"}, {"2", "95"}} << "agraph"
        << QStringList{"Last % value must be 99.99"} << QList<QPointF>{};
    QTest::newRow("graph: sorted first")
        << "5" << Rows{{"1100", "99.99"}, {"100", "0"}, {"600", "50.000"}} << "agraph"
        << QStringList{"Data was out of order. It has been sorted"}
        << QList<QPointF>{{0, 100}, {50, 600}, {99.99, 1100}};
}

// Nothing reaches the wire or the disk that the checks refused, and no tank number is asked
// for a curve that cannot be sent or saved.
void TestEditorWindow::refusedBeforeWriting()
{
    QFETCH(QString, tank);
    QFETCH(Rows, rows);
    QFETCH(QString, action);
    QFETCH(QStringList, messages);
    QFETCH(QList<QPointF>, graph);

    writeWorkingFile(sampleImage());
    const QString file = m_dir->filePath(QStringLiteral("curve.tnk"));
    writeFile(file, tankFileOf(tank.isEmpty() ? QStringLiteral("5") : tank, rows));
    Rig rig;
    EditorWindow* editor = rig.openEditor(true, file);
    QVERIFY(editor);
    if (tank.isEmpty()) { // the curve without its tank number, as Clear and typing leave it
        const CurveTable curve = rig.grid()->table();
        rig.trigger("aclear");
        rig.grid()->setTable(curve);
    }
    const QString saved = m_dir->filePath(QStringLiteral("saved.tnk"));
    rig.dialogs.queueFileName(saved);
    rig.trigger(qPrintable(action));
    QVERIFY(rig.waitIdle());
    const QStringList shown = rig.dialogs.messages();
    QVERIFY2(shown.size() == messages.size(), qPrintable(shown.join(" | ")));
    for (int i = 0; i < shown.size(); ++i)
        QVERIFY2(shown[i].startsWith(messages[i]), qPrintable(shown[i]));
    QVERIFY(!rig.sent().contains("\2CD"));
    QVERIFY(!QFile::exists(saved));
    QVERIFY(QFile::exists(workingFilePath()));
    QVERIFY(!rig.child<QLineEdit>("text2")->isVisible());
    QVERIFY(!rig.child<QLineEdit>("Text3")->isVisible());
    GraphWindow* window = editor->graphWindow();
    QCOMPARE(window != nullptr, !graph.isEmpty());
    if (window) QCOMPARE(seriesOf(window)->points(), graph);
}

void TestEditorWindow::badTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("letters") << "abc";
    QTest::newRow("symbols") << "#$%&*()";
    QTest::newRow("zero") << "0";
    QTest::newRow("256") << "256";
    QTest::newRow("negative") << "-5";
    QTest::newRow("a long paste") << QString(5000, QLatin1Char('9'));
}

// Through the real widgets: each refused tank number is a message and the box stays open;
// the grid ignores what is not a digit; nothing is sent or written.
void TestEditorWindow::badTyping()
{
    QFETCH(QString, typed);

    writeWorkingFile(sampleImage());
    Rig rig;
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor);
    rig.doubleClickTank(1);
    const CurveTable shown = rig.grid()->table();
    rig.grid()->setCurrentCell({1, CurveTable::kPercentColumn});
    QTest::keyClicks(rig.grid(), QStringLiteral("abc.#*"));
    QTest::keyClick(rig.grid(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(rig.grid()->table(), shown);

    rig.trigger("asend");
    QApplication::clipboard()->setText(typed);
    QTest::keyClick(rig.child<QLineEdit>("text2"), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(rig.child<QLineEdit>("text2")->text(), typed);
    QTest::keyClick(rig.child<QLineEdit>("text2"), Qt::Key_Return);
    const QString saved = m_dir->filePath(QStringLiteral("saved.tnk"));
    rig.dialogs.queueFileName(saved);
    rig.trigger("tsave");
    QVERIFY(!rig.child<QLineEdit>("text2")->isVisible());
    rig.enter("Text3", typed);
    QCOMPARE(rig.dialogs.messages(), (QStringList{kRefusal, kRefusal}));
    QVERIFY(rig.child<QLineEdit>("Text3")->isVisible());
    QVERIFY(rig.waitIdle());
    QVERIFY(!rig.sent().contains("\2CD"));
    QVERIFY(!QFile::exists(saved));
}

void TestEditorWindow::busyAndClosedMidExchange_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("read") << "tread";
    QTest::newRow("send") << "asend";
}

// While the editor's exchange runs, a second one is refused with the link's message; closing
// the editor then neither crashes nor leaves a working file, and reports nothing.
void TestEditorWindow::busyAndClosedMidExchange()
{
    QFETCH(QString, action);

    writeWorkingFile(sampleImage());
    const QString file = m_dir->filePath(QStringLiteral("curve.tnk"));
    writeFile(file, tankFileOf("9", {{"100", "0"}, {"600", "50"}, {"1100", "99.99"}}));
    Rig rig(sampleImage(), MeterTiming{true, std::chrono::milliseconds(10)});
    EditorWindow* editor = rig.openEditor(true, file);
    QVERIFY(editor);
    rig.trigger(qPrintable(action));
    QVERIFY(rig.link->isBusy());
    rig.trigger("tread");
    rig.trigger("asend");
    QCOMPARE(rig.dialogs.messages(), (QStringList{Link::kBusyMessage, Link::kBusyMessage}));
    rig.trigger("tclose");
    QVERIFY(rig.window->isVisible());
    QVERIFY(rig.link->isBusy());
    QVERIFY(rig.waitIdle());
    QTRY_VERIFY(!rig.editor);
    QVERIFY(!QFile::exists(workingFilePath()));
    QCOMPARE(rig.dialogs.messages().size(), 2);
    QCOMPARE(rig.meter->commandCount(action == "tread" ? "AU" : "CD"), 1);
}

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
