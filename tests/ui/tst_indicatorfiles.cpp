// One road through the windows a technician uses on indicator files, against the in-process
// simulated meter: tank files written by the editor from the meter's tanks, built and saved in
// the construction window and sent from it, opened in the management window and the viewer,
// shown and sent again. Then the files the viewer and the editor refuse, and the start on a
// file with the viewer's shorter curve check.

#include "construct/indicatorbuilder.h"
#include "editor/curvegrid.h"
#include "editor/editorwindow.h"
#include "graph/graphwindow.h"
#include "store/indicatortanks.h"
#include "store/managementwindow.h"
#include "store/messages.h"
#include "store/workingfile.h"
#include "tests/link/linktesthelpers.h"
#include "tests/store/testimages.h"
#include "tests/support/uirig.h"
#include "viewer/viewerwindow.h"

#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

using namespace kaldor;
using namespace kaldor::testing;

namespace
{

using GridRows = QList<QStringList>; // VALUE, percentage

const QString kRefusal =
    QStringLiteral("Input not accepted. Tank number must be between 1 and 255.");

GridRows rowsOf(const CurveTable& t)
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

} // namespace

class TestIndicatorFiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void road();
    void refusedFiles_data();
    void refusedFiles();
    void startWithFile();

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
    QCOMPARE(bar->value(), 100);
    auto* tanks = editor->findChild<QListWidget*>("List1");
    QCOMPARE(texts(tanks), (QStringList{"Tank  12", "Tank  3", "Tank  7"}));

    // Tank 12; its last VALUE emptied by a double-click and typed again.
    doubleClickItem(tanks, 0);
    auto* label1 = editor->findChild<QLabel*>("Label1");
    QCOMPARE(label1->text(), QStringLiteral("Tank  12"));
    const int points = editor->pointCount();
    QVERIFY(points >= 2);
    auto* grid = editor->findChild<CurveGrid*>("Grid1");
    grid->setCurrentCell({points, CurveTable::kValueColumn});
    QTest::mouseDClick(
        grid->viewport(), Qt::LeftButton, {},
        grid->visualRect(grid->model()->index(points, CurveTable::kValueColumn)).center());
    QCOMPARE(grid->table().value(points), QString());
    QTest::keyClicks(grid, QStringLiteral("9999"));

    // Graph: the status shows the check while it runs; the changed point is drawn last.
    QStringList checking;
    auto* status = editor->findChild<QLineEdit*>("Text1");
    connect(status, &QLineEdit::textChanged, this, [&](const QString& t) {
        if (status->isVisible()) checking.append(t);
    });
    rig.trigger("atnkfrm", "agraph");
    QCOMPARE(checking, QStringList{"Checking data order."});
    QVERIFY(!status->isVisible() && editor->curveValid());
    QPointer<GraphWindow> graph = editor->graphWindow();
    QVERIFY(graph && graph->isVisible() && editor->isEnabled());
    const QList<QPointF> drawn = graph->findChild<QChartView*>(QStringLiteral("Graph1"))
                                     ->chart()
                                     ->findChild<QLineSeries*>(QStringLiteral("curveLine"))
                                     ->points();
    QCOMPARE(drawn.size(), points);
    QCOMPARE(drawn.constLast(), QPointF(99.99, 9999));

    // Send: a refused number is asked again, a good one goes on with the send.
    rig.trigger("atnkfrm", "asend");
    auto* entry = editor->findChild<QLineEdit*>("text2");
    QVERIFY(entry->isVisible());
    enter(editor, "text2", "abc");
    QCOMPARE(rig.dialogs.messages().constLast(), kRefusal);
    QVERIFY(entry->isVisible() && entry->text().isEmpty());
    QVERIFY(!rig.sent().contains("\2CD"));
    enter(editor, "text2", "9");
    QVERIFY(!entry->isVisible());
    QCOMPARE(label1->text(), QStringLiteral("Tank 9"));
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Tank data sent."));
    QVERIFY(!QFile::exists(workingFilePath()));
    const GridRows sentRows = rowsOf(grid->table());
    rig.trigger("atnkfrm", "asend");
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Read Indicator first."));

    // Save As: a wrong extension asks again; the tank number is asked and checked.
    const QString road = m_dir->path(QStringLiteral("road.tnk"));
    rig.dialogs.queueFileName(m_dir->path(QStringLiteral("road.Tnk")));
    rig.dialogs.queueFileName(road);
    rig.trigger("atnkfrm", "tsave");
    QVERIFY(rig.dialogs.messages().contains(QStringLiteral("Wrong file extension")));
    enter(editor, "Text3", "300");
    QCOMPARE(rig.dialogs.messages().constLast(), kRefusal);
    QVERIFY(!QFile::exists(road));
    enter(editor, "Text3", "21");
    QCOMPARE(rig.dialogs.messages().constLast(), "File " + road + " saved.");
    QCOMPARE(label1->text(), QStringLiteral("Tank 21"));

    // Clear, then Open brings the saved curve and its tank number back.
    rig.trigger("atnkfrm", "aclear");
    rig.dialogs.queueFileName(road);
    rig.trigger("atnkfrm", "topen");
    QCOMPARE(rowsOf(grid->table()), sentRows);
    QCOMPARE(editor->tankNumberText(), QStringLiteral("21"));

    // Read again: tank 9 is in the meter, holding the block that went out after "CD", 9 and
    // the byte count.
    rig.trigger("atnkfrm", "tread");
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Indicator Data Read"));
    QCOMPARE(texts(tanks), (QStringList{"Tank  12", "Tank  3", "Tank  7", "Tank  9"}));
    const QByteArray sent = rig.sent();
    const qsizetype cd = sent.indexOf("\2CD\r");
    QVERIFY(cd >= 0);
    QCOMPARE(int(sent[cd + 4]), 9);
    const int count = (std::uint8_t(sent[cd + 5]) << 8) | std::uint8_t(sent[cd + 6]);
    QCOMPARE(count, 4 * points + 4);
    const IndicatorTanks read = loadIndicatorTanks(workingFilePath());
    QCOMPARE(read.records.size(), 4);
    QCOMPARE(rig.meter->image().bytes().mid(read.records.constLast().start, count),
             sent.mid(cd + 7, count));

    // Tank 3 saved as a second tank file; closing shows the main window, removes the working
    // file and the graph.
    doubleClickItem(tanks, 1);
    const GridRows northRows = rowsOf(grid->table());
    rig.dialogs.queueFileName(m_dir->path(QStringLiteral("north.tnk")));
    rig.trigger("atnkfrm", "tsave");
    enter(editor, "Text3", "3");
    rig.trigger("atnkfrm", "tclose");
    QVERIFY(rig.window->isVisible());
    QVERIFY(!QFile::exists(workingFilePath()));
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
    QCOMPARE(texts(construction->findChild<QListWidget*>("List1")),
             (QStringList{"road.tnk", "north.tnk"}));
    click("Command4");
    const QString site = m_dir->path(QStringLiteral("site.idr"));
    rig.dialogs.queueFileName(site);
    click("Command3");
    QCOMPARE(rig.dialogs.messages().mid(1),
             (QStringList{"Indicator file built.", site + " saved."}));
    const IndicatorTanks built = loadIndicatorTanks(site);
    QVERIFY2(built.ok(), qPrintable(built.detail));
    QCOMPARE(built.records.size(), 2);
    QCOMPARE(built.records[0].tankNumber, 21);
    QCOMPARE(built.records[1].tankNumber, 3);

    // Its send climbs to exactly 100 with the last byte; the meter then holds the file's image.
    auto* constrBar = construction->findChild<QProgressBar*>("pbConstr");
    QSignalSpy progress(constrBar, &QProgressBar::valueChanged);
    click("Command5");
    QVERIFY(constrBar->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), built.image.bytes());
    QCOMPARE(rig.meter->image().length(), built.image.length());
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

    // The viewer on the saved file: each tank shown, graphed, the file sent.
    rig.meter->setImage(sampleImage());
    rig.dialogs.queueFileName(site);
    rig.trigger("meterform", "fileopen");
    QPointer<ViewerWindow> viewer = rig.find<ViewerWindow>("edtnk");
    QVERIFY(viewer && viewer->isVisible() && !files->isVisible());
    auto* list = viewer->findChild<QListWidget*>("List1");
    QCOMPARE(texts(list), (QStringList{"Tank  21", "Tank  3"}));
    auto* cells = viewer->findChild<QTableView*>("Grid1")->model();
    const auto shownRows = [cells](int count) {
        GridRows rows;
        for (int r = 1; r <= count; ++r)
            rows.append({cells->index(r, 1).data().toString(),
                         cells->index(r, 2).data().toString().trimmed()});
        return rows;
    };
    rig.trigger("edtnk", "aview");
    QCOMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Nothing selected"));
    doubleClickItem(list, 0);
    QCOMPARE(viewer->findChild<QLabel*>("Label1")->text(), QStringLiteral("Tank  21"));
    QCOMPARE(shownRows(sentRows.size()), sentRows);
    list->setCurrentRow(1);
    rig.trigger("edtnk", "aview");
    QCOMPARE(shownRows(northRows.size()), northRows);
    QCOMPARE(cells->index(northRows.size() + 1, 2).data().toString(), QString());

    auto* viewerBar = viewer->findChild<QProgressBar*>("pbEdit");
    QSignalSpy viewerProgress(viewerBar, &QProgressBar::valueChanged);
    rig.trigger("edtnk", "smeter");
    QVERIFY(viewerBar->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Data Sent"));
    QCOMPARE(rig.meter->image().bytes(), built.image.bytes());
    QVERIFY(!viewerBar->isVisible());
    checkClimbsTo100(viewerProgress);

    // Closing the viewer removes the working file and brings the management window back, which
    // still sends the chosen file.
    writeFile(workingFilePath(), {});
    rig.trigger("edtnk", "aclose");
    QTRY_VERIFY(!viewer);
    QVERIFY(!QFile::exists(workingFilePath()));
    QVERIFY(files->isVisible());
    QCOMPARE(files->chosenFile(), site);
    rig.meter->setImage(sampleImage());
    rig.trigger("meterform", "smeter");
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.meter->image().bytes(), built.image.bytes());
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestIndicatorFiles::refusedFiles_data()
{
    QTest::addColumn<bool>("editor"); // the editor loads it as the working file; else the viewer
    QTest::addColumn<QByteArray>("content"); // empty: a directory of that name, or no file
    QTest::addColumn<QString>("message");    // "%1" stands for the chosen path; empty: none
    QTest::addColumn<bool>("stays");         // the window stays open on an empty list

    QTest::newRow("viewer: ends before its count")
        << false << QByteArray(" 0 ,  3 ,  1 ,  2 ") << kEndOfDataMessage << true;
    QTest::newRow("viewer: no tanks")
        << false << formatIndicatorFile(3, threeBlockImage(), 0) << kNoTankDataMessage << true;
    QTest::newRow("viewer: count too large")
        << false << QByteArray("200, 0, 1, 2, 3") << errorText(err::kSubscript) << false;
    QTest::newRow("viewer: a directory")
        << false << QByteArray() << "%1: not a regular file (a directory); not read" << false;
    QTest::newRow("editor: missing, answered No") << true << QByteArray() << "" << true;
    QTest::newRow("editor: no tanks")
        << true << formatIndicatorFile(3, IndicatorImage::fromBytes(QByteArray(24, '\0')), 0)
        << "No tank data" << true;
    QTest::newRow("editor: ends right after the image")
        << true << QByteArray("0 , 1 , 1 , 2 , 3 , 4 , 5 , 6 , 7 , 8 ")
        << "Error-End of data before end of count" << true;
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
    if (!content.isEmpty())
        writeFile(path, content);
    else if (!editor)
        QVERIFY(QDir().mkdir(path));
    UiRig rig(threeBlockImage());
    QSignalSpy ended(rig.window.get(), &MainWindow::programEnded);
    QVERIFY(rig.waitIdle());
    const QStringList messages =
        message.isEmpty() ? QStringList{} : QStringList{QString(message).replace("%1", path)};
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
    QTest::qWait(20);
    QCOMPARE(ended.size(), 0);
    QVERIFY(rig.link->isPortOpen());
}

// kaldor FILE.idr: the viewer on the file, the management window behind it, keeping the file
// by its whole path. The viewer's shorter check draws a curve that ends at 95 %.
void TestIndicatorFiles::startWithFile()
{
    const QString path = m_dir->path("short.IDR");
    // Tank 12: full scale 1000, offset 0, points at 0, 50 and 95 %.
    const IndicatorImage image =
        placeTanks({{12, 512, {1000, 0, 0, 0, 16385, 16383, int(95 / 99.99 * 32767), 32767}}}, 528, 528);
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
    viewer->close();
    QVERIFY(files->isVisible());
    QCOMPARE(files->chosenFile(), path);
    QVERIFY(rig.dialogs.messages().isEmpty());
}

QTEST_MAIN(TestIndicatorFiles)
#include "tst_indicatorfiles.moc"
