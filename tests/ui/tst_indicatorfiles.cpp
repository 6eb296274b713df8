// One road through the windows a technician uses on indicator files, against the in-process
// simulated meter: tank files written by the editor from the meter's tanks, built and saved in
// the construction window and sent from it, opened in the management window and the viewer
// and shown. Then the files the viewer and the editor refuse, the start on a file
// with the viewer's shorter curve check, "Compare with Meter" and "Save Retrieved Indicator
// File".

#include "construct/indicatorbuilder.h"
#include "editor/curvegrid.h"
#include "editor/editorwindow.h"
#include "graph/graphwindow.h"
#include "shell/saveretrieved.h"
#include "store/indicatortanks.h"
#include "store/managementwindow.h"
#include "store/messages.h"
#include "store/workingfile.h"
#include "tests/store/testimages.h"
#include "tests/support/uirig.h"
#include "viewer/comparewindow.h"
#include "viewer/viewerwindow.h"

#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

using GridRows = QList<QStringList>; // VALUE, percentage

GridRows trimmedRows(const CurveTable& t)
{
    GridRows rows;
    for (int r = 1; r <= t.filledRows(); ++r)
        rows.append({t.value(r), t.percent(r).trimmed()});
    return rows;
}

// The progress bar's values while it runs; the last must be exactly 100 before it resets.
void checkClimbsTo100(const QSignalSpy& progress)
{
    QList<int> values;
    for (const QList<QVariant>& args : progress)
        values.append(args.first().toInt());
    const int full = values.lastIndexOf(100);
    QVERIFY2(full > 0, qPrintable(QString::number(values.size())));
    QVERIFY(std::is_sorted(values.begin(), values.begin() + full + 1));
    for (int i = full + 1; i < values.size(); ++i)
        QCOMPARE(values[i], 0);
}

using Cells = QList<GridCell>;
using Tank = QPair<int, QVector<int>>;

// The tanks placed one after another from the start of the record area.
IndicatorImage imageOf(const QList<Tank>& tanks)
{
    QVector<PlacedTank> placed;
    int at = layout::kRecordAreaStart;
    for (const Tank& t : tanks) {
        placed.append({t.first, at, t.second});
        at += 2 * int(t.second.size());
    }
    return placeTanks(placed, at, (at + 7) / 8 * 8);
}

QVector<int> changed(QVector<int> words, int index, int by)
{
    words[index] += by;
    return words;
}

Cells highlighted(const CurveGrid* grid)
{
    Cells cells;
    for (int row = 1; row <= CurveTable::kRows; ++row)
        for (int column : {CurveTable::kValueColumn, CurveTable::kPercentColumn})
            if (grid->model()->index(row, column).data(Qt::BackgroundRole).isValid())
                cells.append({row, column});
    return cells;
}

} // namespace

class TestIndicatorFiles : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void road();
    void refusedFiles_data();
    void refusedFiles();
    void startWithFile();
    void compare_data();
    void compare();
    void compareRefusesFile();
    void saveRetrieved_data();
    void saveRetrieved();

private:
    std::optional<FreshDirectory> m_dir;
};

void TestIndicatorFiles::road()
{
    UiRig rig(sampleImage());
    QVERIFY(rig.waitIdle());

    // The editor, with no working file, asks and reads the meter.
    rig.dialogs.queueAnswer(Answer::Yes);
    rig.trigger(nullptr, "tfiles");
    QPointer<EditorWindow> editor = rig.find<EditorWindow>("atnkfrm");
    QVERIFY(editor && editor->isVisible() && !rig.window->isVisible());
    QCOMPARE(rig.dialogs.shown().value(0).text,
             QStringLiteral("No indicator file in buffer. Do you want to get the indicator file?"));
    auto* bar = editor->findChild<QProgressBar*>("pbTank");
    QVERIFY(bar->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages(), QStringList{"Indicator Data Read"});
    QVERIFY(!bar->isVisible());
    auto* tanks = editor->findChild<QListWidget*>("List1");
    QCOMPARE(texts(tanks), (QStringList{"Tank  12", "Tank  3", "Tank  7"}));

    // Tank 12 graphed, the status showing the check while it runs, then sent under the number
    // asked for.
    doubleClickItem(tanks, 0);
    auto* label1 = editor->findChild<QLabel*>("Label1");
    QCOMPARE(label1->text(), QStringLiteral("Tank  12"));
    auto* grid = editor->findChild<CurveGrid*>("Grid1");
    QStringList checking;
    auto* status = editor->findChild<QLineEdit*>("Text1");
    connect(status, &QLineEdit::textChanged, this, [&](const QString& t) {
        if (status->isVisible()) checking.append(t);
    });
    rig.trigger("atnkfrm", "agraph");
    QCOMPARE(checking, QStringList{"Checking data order."});
    QPointer<GraphWindow> graph = editor->graphWindow();
    QVERIFY(graph && graph->isVisible() && editor->isEnabled());
    QCOMPARE(graph->findChild<QLabel*>("graphTank")->text(), QStringLiteral("Tank  12"));
    rig.trigger("atnkfrm", "asend");
    enter(editor, "text2", "9");
    QCOMPARE(label1->text(), QStringLiteral("Tank 9"));
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Tank data sent."));
    QVERIFY(!QFile::exists(workingFilePath()));
    const GridRows sentRows = trimmedRows(grid->table());

    // Save As asks the tank number (a wrong extension asking again is saveRetrieved's). Tank 3
    // saved as a second file; closing shows the main window and removes the graph.
    const QString road = m_dir->path(QStringLiteral("road.tnk"));
    rig.dialogs.queueFileName(road);
    rig.trigger("atnkfrm", "tsave");
    enter(editor, "Text3", "21");
    QCOMPARE(rig.dialogs.messages().constLast(), "File " + road + " saved.");
    doubleClickItem(tanks, 1);
    rig.dialogs.queueFileName(m_dir->path(QStringLiteral("north.tnk")));
    rig.trigger("atnkfrm", "tsave");
    enter(editor, "Text3", "3");
    rig.trigger("atnkfrm", "tclose");
    QVERIFY(rig.window->isVisible());
    QTRY_VERIFY(!editor);
    QVERIFY(!graph);

    // The management window refuses a send before a file is chosen and opens the construction
    // window in its place.
    rig.trigger(nullptr, "mfiles");
    auto* files = rig.find<ManagementWindow>("meterform");
    QVERIFY(files && files->isVisible() && !rig.window->isVisible());
    rig.dialogs.clear();
    rig.trigger("meterform", "smeter");
    QCOMPARE(rig.dialogs.messages(), QStringList{"No file selected"});
    rig.trigger("meterform", "aconstrct");
    QWidget* construction = rig.find("constr");
    QVERIFY(construction && construction->isVisible() && !files->isVisible());
    auto* tankFiles = construction->findChild<QListWidget*>("File1");
    const auto click = [&](const char* button) {
        QTest::mouseClick(construction->findChild<QPushButton*>(button), Qt::LeftButton);
    };
    QCOMPARE(texts(tankFiles), (QStringList{"north.tnk", "road.tnk"}));
    for (int row : {1, 0}) { // chosen out of file order
        tankFiles->setCurrentRow(row);
        click("Command1");
    }
    click("Command4");
    const QString site = m_dir->path(QStringLiteral("site.idr"));
    rig.dialogs.queueFileName(site);
    click("Command3");
    QCOMPARE(rig.dialogs.messages().mid(1),
             (QStringList{"Indicator file built.", site + " saved."}));
    const IndicatorTanks built = loadIndicatorTanks(site);
    QVERIFY2(built.ok(), qPrintable(built.detail));
    QCOMPARE((QList<int>{built.records.value(0).tankNumber, built.records.value(1).tankNumber}),
             (QList<int>{21, 3}));

    // Its send climbs to exactly 100 with the last byte; the meter then holds the file's image.
    auto* constrBar = construction->findChild<QProgressBar*>("pbConstr");
    QSignalSpy progress(constrBar, &QProgressBar::valueChanged);
    click("Command5");
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), built.image.bytes()); // bytes() is length() long
    checkClimbsTo100(progress);
    QVERIFY(!constrBar->isVisible());
    // Closing hands back to the management window and forgets the list and the build.
    construction->close();
    QVERIFY(files->isVisible());
    rig.trigger("meterform", "aconstrct");
    construction = rig.find("constr");
    QCOMPARE(construction->findChild<QListWidget*>("List1")->count(), 0);
    click("Command5");
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("File not built yet"));
    construction->close();

    // The viewer on the saved file (its send is tst_mainwindow's): a tank shown as it was sent;
    // closing it removes the working file and brings the management window back.
    rig.dialogs.queueFileName(site);
    rig.trigger("meterform", "fileopen");
    QPointer<ViewerWindow> viewer = rig.find<ViewerWindow>("edtnk");
    QVERIFY(viewer && viewer->isVisible() && !files->isVisible());
    auto* list = viewer->findChild<QListWidget*>("List1");
    QCOMPARE(texts(list), (QStringList{"Tank  21", "Tank  3"}));
    rig.trigger("edtnk", "aview");
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Nothing selected"));
    doubleClickItem(list, 0);
    QCOMPARE(viewer->findChild<QLabel*>("Label1")->text(), QStringLiteral("Tank  21"));
    auto* cells = viewer->findChild<QTableView*>("Grid1")->model();
    GridRows shown;
    for (int r = 1; r <= sentRows.size(); ++r)
        shown.append(
            {cells->index(r, 1).data().toString(), cells->index(r, 2).data().toString().trimmed()});
    QCOMPARE(shown, sentRows);

    writeFile(workingFilePath(), {});
    rig.trigger("edtnk", "aclose");
    QTRY_VERIFY(!viewer);
    QVERIFY(!QFile::exists(workingFilePath()));
    QVERIFY(files->isVisible());
    QCOMPARE(files->chosenFile(), site);
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestIndicatorFiles::refusedFiles_data()
{
    QTest::addColumn<bool>("editor"); // the editor loads it as the working file; else the viewer
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<QString>("message");    // empty: none
    QTest::addColumn<bool>("stays");         // the window stays open on an empty list

    const auto row = [](const char* name, bool editor, const QByteArray& content,
                        const QString& message, bool stays) {
        QTest::newRow(name) << editor << content << message << stays;
    };
    row("viewer: ends before its count", false, " 0 ,  3 ,  1 ,  2 ", kEndOfDataMessage, true);
    row("viewer: count too large", false, "200, 0, 1, 2, 3", errorText(err::kSubscript), false);
    row("editor: missing, answered No", true, {}, "", true);
    row("editor: ends right after the image", true, "0 , 1 , 1 , 2 , 3 , 4 , 5 , 6 , 7 , 8 ",
        "Error-End of data before end of count", true);
}

// What a window cannot show is reported; the program goes on with its port open. The viewer
// either stays open on an empty list or hands back to the management window; the editor stays
// with nothing to send.
void TestIndicatorFiles::refusedFiles()
{
    QFETCH(bool, editor);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(bool, stays);

    const QString path = editor ? workingFilePath() : m_dir->path("bad.idr");
    if (!content.isEmpty()) writeFile(path, content);
    UiRig rig(threeBlockImage());
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    QVERIFY(rig.waitIdle());
    const QStringList messages = message.isEmpty() ? QStringList{} : QStringList{message};
    if (editor) {
        if (content.isEmpty()) rig.dialogs.queueAnswer(Answer::No);
        rig.trigger(nullptr, "tfiles");
        auto* window = rig.find<EditorWindow>("atnkfrm");
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->findChild<QListWidget*>("List1")->count(), 0);
        rig.trigger("atnkfrm", "asend");
        QCOMPARE(rig.dialogs.messages(),
                 messages +
                     QStringList{content.isEmpty() ? "Read Indicator first." : "No data in grid."});
        QCOMPARE(rig.dialogs.unscripted(), 0);
    } else {
        rig.trigger(nullptr, "mfiles");
        rig.dialogs.queueFileName(path);
        rig.trigger("meterform", "fileopen");
        QTRY_COMPARE(rig.dialogs.messages(), messages);
        auto* viewer = rig.find<ViewerWindow>("edtnk");
        QTRY_COMPARE(bool(viewer && viewer->isVisible()), stays);
        if (stays) QCOMPARE(viewer->findChild<QListWidget*>("List1")->count(), 0);
        QCOMPARE(rig.find("meterform")->isVisible(), !stays);
    }
    QCOMPARE(ended.size(), 0);
    QVERIFY(rig.link->isPortOpen());
}

// kaldor FILE.idr: the viewer on the file, the management window behind it, keeping the file
// by its whole path. The viewer's shorter check draws a curve that ends at 95 %.
void TestIndicatorFiles::startWithFile()
{
    const QString path = m_dir->path("short.IDR");
    // Tank 12: full scale 1000, offset 0, points at 0, 50 and 95 %.
    const IndicatorImage image = placeTanks(
        {{12, 512, {1000, 0, 0, 0, 16385, 16383, int(95 / 99.99 * 32767), 32767}}}, 528, 528);
    QVERIFY(writeConstructedFile(path, image, image.length()).ok);

    UiRig rig(threeBlockImage());
    rig.window->startWithIndicatorFile("short.IDR"); // as given on the command line
    auto* viewer = rig.find<ViewerWindow>("edtnk");
    QVERIFY(viewer && viewer->isVisible());
    auto* list = viewer->findChild<QListWidget*>("List1");
    QCOMPARE(list->count(), 1);
    auto* files = rig.find<ManagementWindow>("meterform");
    QVERIFY(files && !files->isVisible() && !rig.window->isVisible());
    list->setCurrentRow(0);
    rig.trigger("edtnk", "aview");
    rig.trigger("edtnk", "agraph");
    auto* graph = viewer->findChild<QWidget*>("graphit");
    QVERIFY(graph && graph->isVisible());
    QCOMPARE(graph->findChild<QLabel*>("graphTank")->text(),
             QStringLiteral("Tank  12 — file short.IDR"));
    viewer->close();
    QVERIFY(files->isVisible());
    QCOMPARE(files->chosenFile(), path);
    QVERIFY(rig.dialogs.messages().isEmpty());
}

void TestIndicatorFiles::compare_data()
{
    QTest::addColumn<QByteArray>("from"); // the window whose item is used
    QTest::addColumn<QVector<int>>("meterTank3");
    QTest::addColumn<Cells>("differing");

    // Tank 3 in the file: full scale 1000, offset 0, four points; a point's words are its
    // percentage and its VALUE.
    const QVector<int> tank3 = curveWords(1000, 0, 4);
    const int kValue = CurveTable::kValueColumn;
    const int kPercent = CurveTable::kPercentColumn;
    QTest::newRow("value of point 2, viewer")
        << QByteArray("edtnk") << changed(tank3, 5, 4000) << Cells{{2, kValue}};
    QTest::newRow("percentage of point 3, management window")
        << QByteArray("meterform") << changed(tank3, 6, 300) << Cells{{3, kPercent}};
    QTest::newRow("a point more, viewer")
        << QByteArray("edtnk") << curveWords(1000, 0, 5)
        << Cells{{4, kValue}, {4, kPercent}, {5, kValue}, {5, kPercent}};
}

// "Compare with Meter" from the management window or the viewer: the file and the meter share a
// tank that is the same and one that differs, and each holds a tank the other lacks. The table
// gives every tank's state; picking the changed tank draws both curves and highlights exactly the
// cells that read differently.
void TestIndicatorFiles::compare()
{
    QFETCH(QByteArray, from);
    QFETCH(QVector<int>, meterTank3);
    QFETCH(Cells, differing);

    const QVector<int> tank12 = curveWords(2000, 0, 3);
    const IndicatorImage file =
        imageOf({{12, tank12}, {3, curveWords(1000, 0, 4)}, {7, curveWords(500, 0, 2)}});
    const IndicatorImage meter =
        imageOf({{3, meterTank3}, {9, curveWords(800, 0, 2)}, {12, tank12}});
    const QString path = m_dir->path(QStringLiteral("plant.idr"));
    writeFile(path, formatIndicatorFile(file.blockCount(), file, 0));

    UiRig rig(meter);
    QVERIFY(rig.waitIdle());
    ManagementWindow* management = rig.window->showManagementWindow();
    QVERIFY(management->openFile(path));
    QWidget* window =
        from == "meterform" ? management : management->findChild<QWidget*>(QLatin1String(from));
    QAction* item = window->findChild<QAction*>(QStringLiteral("compareMeter"));
    QVERIFY(item);
    item->trigger();
    QVERIFY(rig.waitIdle());
    CompareWindow* compare = nullptr;
    QTRY_VERIFY((compare = window->findChild<CompareWindow*>(QStringLiteral("cmpmeter"))));
    QCOMPARE(rig.dialogs.messages(), QStringList{});

    auto* table = compare->findChild<QTableWidget*>(QStringLiteral("tblTanks"));
    QStringList states;
    for (int row = 0; row < table->rowCount(); ++row)
        states.append(table->item(row, 0)->text() + " " + table->item(row, 1)->text());
    QCOMPARE(states, (QStringList{"Tank  12 same", "Tank  3 changed", "Tank  7 only in file",
                                  "Tank  9 only in meter"}));

    table->setCurrentCell(1, 1);
    for (const char* side : {"gridFile", "gridMeter"})
        QCOMPARE(highlighted(compare->findChild<CurveGrid*>(QLatin1String(side))), differing);
    const QList<QAbstractSeries*> curves =
        compare->findChild<QChartView*>(QStringLiteral("chartCompare"))->chart()->series();
    QCOMPARE(curves.size(), 2);
    QCOMPARE(static_cast<QLineSeries*>(curves[0])->count(), 4);
    QCOMPARE(static_cast<QLineSeries*>(curves[1])->count(), meterTank3.size() / 2 - 1);

    // A tank that is the same highlights nothing.
    table->setCurrentCell(0, 0);
    QCOMPARE(highlighted(compare->findChild<CurveGrid*>(QStringLiteral("gridMeter"))), Cells{});
}

// A file that is not sound is refused with its name before the meter is read.
void TestIndicatorFiles::compareRefusesFile()
{
    const QString path = dataPath(QStringLiteral("value-256.idr"));
    UiRig rig(sampleImage());
    QVERIFY(rig.waitIdle());
    ManagementWindow* management = rig.window->showManagementWindow();
    QVERIFY(!management->openFile(path));
    rig.dialogs.clear();
    management->findChild<QAction*>(QStringLiteral("compareMeter"))->trigger();
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.dialogs.messages().size(), 1);
    QVERIFY2(rig.dialogs.messages().constFirst().startsWith(path + ": "),
             qPrintable(rig.dialogs.messages().value(0)));
    QCOMPARE(rig.meter->commandCount("AU"), 0);
    QVERIFY(!management->findChild<CompareWindow*>());
}

void TestIndicatorFiles::saveRetrieved_data()
{
    QTest::addColumn<bool>("haveWorkingFile");
    QTest::addColumn<QStringList>("answers");  // names typed, in a fresh folder; "" cancels
    QTest::addColumn<QStringList>("expected"); // "%1": the full path of the accepted name
    QTest::addColumn<QString>("savedAs");      // the copy of the working file afterwards, if any
    const auto row = [](const char* name, bool working, const QStringList& answers,
                        const QStringList& expected, const QString& savedAs = {}) {
        QTest::newRow(name) << working << answers << expected << savedAs;
    };
    const QString wrong = QStringLiteral("Wrong file extension");
    row("upper case .IDR", true, {"B.IDR"}, {"%1 saved."}, "B.IDR");
    row(".idr inside the name", true, {"c.idr.bak"}, {"%1 saved."}, "c.idr.bak");
    row(".txt, then .Idr, then .idr", true, {"d.txt", "d.Idr", "d.idr"},
        {wrong, wrong, "%1 saved."}, "d.idr");
    row(".txt, then cancel", true, {"e.txt", ""}, {wrong});
    row("no working file", false, {"f.idr"}, {"Get Indicator data first."});
    row("a folder as the name", true, {"folder.idr"}, {"Bad filename."});
    row("missing folder", true, {"nowhere/g.idr"}, {errorText(err::kPathNotFound)});
}

// File Management > "&Save Retrieved Indicator File": the working file copied under a name with
// the indicator file's extension.
void TestIndicatorFiles::saveRetrieved()
{
    QFETCH(bool, haveWorkingFile);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, expected);
    QFETCH(QString, savedAs);

    QVERIFY(QDir().mkdir(QStringLiteral("folder.idr")));
    const QString working = m_dir->path(QStringLiteral("All1.DAT"));
    const QByteArray bytes = readFile(dataPath(QStringLiteral("one-block.idr")));
    if (haveWorkingFile) writeFile(working, bytes);

    ScriptedDialogs dialogs;
    QString accepted;
    for (const QString& a : answers) {
        if (!a.isEmpty()) accepted = m_dir->path(a);
        dialogs.queueFileName(a.isEmpty() ? std::nullopt : std::optional(accepted));
    }
    saveRetrievedIndicatorFile(nullptr, dialogs, working);

    QCOMPARE(dialogs.messages(), expected.replaceInStrings("%1", accepted));
    QCOMPARE(dialogs.unscripted(), 0);
    if (!savedAs.isEmpty()) QCOMPARE(readFile(m_dir->path(savedAs)), bytes);
    // Nothing but the working file, the folder and the saved copy is left behind.
    const QStringList left = QDir().entryList(QDir::Files | QDir::NoDotAndDotDot);
    QCOMPARE(left.size(), (haveWorkingFile ? 1 : 0) + (savedAs.isEmpty() ? 0 : 1));
}

QTEST_MAIN(TestIndicatorFiles)
#include "tst_indicatorfiles.moc"
