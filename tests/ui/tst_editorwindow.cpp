// The tank editor driven through its widgets against the in-process simulated meter: the
// worked example's tank file saved again and sent in both modes, what the checks refuse before
// anything is written, undo, and what leaves it besides tank files; then curves from a shape or
// a strapping table through their dialogs. The road through it and what its load refuses are in
// tst_indicatorfiles, closing it mid-exchange in tst_mainwindow.

#include "curves/curvesource.h"
#include "curves/shapedialog.h"
#include "editor/curvegrid.h"
#include "editor/editorwindow.h"
#include "editor/gridpaste.h"
#include "graph/graphwindow.h"
#include "store/indicatortanks.h"
#include "store/workingfile.h"
#include "tests/editor/curvetables.h"
#include "tests/editor/tankshapes.h"
#include "tests/support/pdftext.h"
#include "tests/support/uirig.h"

#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QUndoStack>

#include <ctime>

using namespace kaldor;
using namespace kaldor::testing;

namespace {

const QString kRefusal =
    QStringLiteral("Input not accepted. Tank number must be between 1 and 255.");

// The meter holds the sample; the working file, written before the main window starts, the
// image given.
IndicatorImage sampleAfterWriting(const IndicatorImage& working)
{
    writeFile(workingFilePath(), formatIndicatorFile(working.length() / 8, working, 0));
    return sampleImage();
}

// A tank file in the offset-capable layout (full scale and offset are not read back).
QByteArray tankFileOf(const QString& tank, const Rows& rows)
{
    QByteArray text =
        tank.toLatin1() + "\r\n 0 \r\n 0 \r\n " + QByteArray::number(rows.size()) + " \r\n";
    for (const auto& row : rows)
        text += row.first.toLatin1() + ", " + row.second.toLatin1() + ",";
    return text;
}

Rows rowsOf(const LevelPoints& points)
{
    CurveTable table;
    fillPointRows(table, points);
    return testing::rowsOf(table);
}

QLineSeries* seriesOf(GraphWindow* graph, const char* name = "curveLine")
{
    return graph->findChild<QChartView*>(QStringLiteral("Graph1"))
        ->chart()
        ->findChild<QLineSeries*>(QLatin1String(name));
}

void choose(QWidget* dialog, const char* name, const QString& data)
{
    auto* box = dialog->findChild<QComboBox*>(QLatin1String(name));
    const int index = box->findData(data);
    QVERIFY2(index >= 0, qPrintable(data));
    box->setCurrentIndex(index);
}

// The texts a label shows each time it is painted: what a person sees, in order.
struct PaintedTexts : QObject {
    explicit PaintedTexts(QLabel* label) : label(label) { label->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) texts.append(label->text());
        return false;
    }
    QLabel* label;
    QStringList texts;
};

// The CPU time this thread has used, in ms.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The most work the window's thread did without turning its event loop, by a timer that asks
// every 5 ms, until stopped: its own CPU time, so that a machine busy with other work does not
// count as the window's.
struct StallWatch {
    StallWatch()
    {
        since = threadCpuMs();
        QObject::connect(&tick, &QTimer::timeout, [this] { turned(); });
        tick.start(5);
    }
    void turned()
    {
        const double now = threadCpuMs();
        longest = std::max(longest, now - since);
        since = now;
    }
    void stop()
    {
        if (!tick.isActive()) return;
        turned();
        tick.stop();
    }
    QTimer tick;
    double since = 0;
    double longest = 0;
};

QPushButton* dialogButton(QWidget* dialog, QDialogButtonBox::StandardButton which)
{
    return dialog->findChild<QDialogButtonBox*>()->button(which);
}

// The shared rig with the editor's controls at hand.
struct Rig : UiRig {
    explicit Rig(const IndicatorImage& working = sampleImage()) : UiRig(sampleAfterWriting(working))
    {
    }

    // Opens the editor from File Management > Tank Files, or on a tank file as the command
    // line does, after switching the main window's mode when asked.
    EditorWindow* openEditor(bool offsetMode = true, const QString& tankFile = {})
    {
        if (!waitIdle()) return nullptr;
        if (!offsetMode) QTest::mouseClick(find<QCheckBox>("Check1"), Qt::LeftButton);
        if (tankFile.isEmpty())
            UiRig::trigger(nullptr, "tfiles");
        else
            window->showTankEditor(tankFile);
        editor = find<EditorWindow>("atnkfrm");
        return editor;
    }
    // Opens the editor on start.tnk in the current directory, holding the tank and rows given.
    EditorWindow* openOn(const Rows& rows, const QString& tank = QStringLiteral("5"))
    {
        const QString file = QDir::current().filePath(QStringLiteral("start.tnk"));
        writeFile(file, tankFileOf(tank, rows));
        return openEditor(true, file);
    }
    template <class T> T* child(const char* name)
    {
        return editor->findChild<T*>(QLatin1String(name));
    }
    void trigger(const char* name) { child<QAction>(name)->trigger(); }
    CurveGrid* grid() { return child<CurveGrid>("Grid1"); }
    QStringList items() { return texts(child<QListWidget>("List1")); }
    void doubleClickTank(int row) { doubleClickItem(child<QListWidget>("List1"), row); }
    void enter(const char* name, const QString& text) { testing::enter(editor, name, text); }

    QPointer<EditorWindow> editor;
};

} // namespace

class TestEditorWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void threePointTank_data();
    void threePointTank();
    void refusedBeforeWriting_data();
    void refusedBeforeWriting();
    void undoRedo_data();
    void undoRedo();
    void undoKeepsTankGivenSince();
    void curveOut_data();
    void curveOut();
    void shape_data();
    void shape();
    void shapeFollowsTheForm_data();
    void shapeFollowsTheForm();
    void importTable_data();
    void importTable();
    void tankShown_data();
    void tankShown();
    void saveBack_data();
    void saveBack();
    void sendKeepsLayout();

private:
    std::optional<FreshDirectory> m_dir;
};

void TestEditorWindow::threePointTank_data()
{
    QTest::addColumn<bool>("offsetMode");
    QTest::newRow("offset capable") << true;
    QTest::newRow("not offset capable") << false;
}

// Started on the worked example tank file (kaldor FILE.tnk), saved again byte for byte, and
// sent under its own tank number without asking for one.
void TestEditorWindow::threePointTank()
{
    QFETCH(bool, offsetMode);
    const QByteArray file = threePointTankFile(offsetMode);

    const QString example = m_dir->path(QStringLiteral("example.tnk"));
    writeFile(example, file);
    Rig rig;
    EditorWindow* editor = rig.openEditor(offsetMode, example);
    QVERIFY(editor);
    QCOMPARE(rig.items().size(), 3);
    QCOMPARE(rowsOf(rig.grid()->table()), (Rows{{"100", "0"}, {"600", "50"}, {"1100", "99.99"}}));
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank 5"));

    const QString copy = m_dir->path(QStringLiteral("copy.tnk"));
    rig.dialogs.queueFileName(copy);
    rig.trigger("tsave");
    rig.enter("Text3", "5");
    QCOMPARE(readFile(copy), file);

    rig.trigger("asend");
    QVERIFY(!rig.child<QLineEdit>("text2")->isVisible());
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Tank data sent."));
    QCOMPARE(rig.sent().mid(rig.sent().indexOf("\2CD")), QByteArray::fromHex("0243440d0500") +
                                                             char(offsetMode ? 16 : 14) +
                                                             threePointBlock(offsetMode));
    QCOMPARE(rig.dialogs.unscripted(), 0);
}

void TestEditorWindow::refusedBeforeWriting_data()
{
    QTest::addColumn<QString>("tank");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("messages"); // each a prefix of the message shown
    QTest::addColumn<QList<QPointF>>("graph"); // what the graph draws; empty: no graph
    QTest::addColumn<QString>("typed");        // pasted into the tank number box, then Enter

    const auto row = [](const char* name, const char* tank, const Rows& rows, const char* action,
                        const QString& message, const QList<QPointF>& graph = {},
                        const QString& typed = {}) {
        QTest::newRow(name) << QString(tank) << rows << QString(action) << QStringList{message}
                            << graph << typed;
    };
    const Rows rising{{"100", "0"}, {"2000", "50"}, {"1100", "99.99"}};
    const QString notLargest = QStringLiteral("Last value in grid must be largest");
    row("send without a tank number: a middle value above the last", "", rising, "asend",
        notLargest);
    row("send: tank 0 from the file", "0", {{"1", "0"}, {"2", "99.99"}}, "asend", kRefusal);
    row("graph: last percentage 95", "5", {{"1", "0"}, {"2", "95"}}, "agraph",
        "Last % value must be 99.99");
    row("save: last percentage 100", "5", {{"1", "0"}, {"2", "100"}}, "tsave",
        "Last % value must be 99.99");
    row("export: last percentage 100", "5", {{"1", "0"}, {"2", "100"}}, "texport",
        "Last % value must be 99.99");
    row("graph: sorted first", "5", {{"1100", "99.99"}, {"100", "0"}, {"600", "50.000"}}, "agraph",
        "Data was out of order. It has been sorted", {{0, 100}, {50, 600}, {99.99, 1100}});
    // Through the real widgets: a refused tank number is a message and the box stays open.
    const Rows good{{"1", "0"}, {"2", "99.99"}};
    row("send: typed symbols", "", good, "asend", kRefusal, {}, "#$%&*()");
    row("save: a long paste", "5", good, "tsave", kRefusal, {}, QString(5000, QLatin1Char('9')));
}

// Nothing reaches the wire or the disk that the checks refused, and no tank number is asked
// for a curve that cannot be sent or saved; a refused number leaves its box open.
void TestEditorWindow::refusedBeforeWriting()
{
    QFETCH(QString, tank);
    QFETCH(Rows, rows);
    QFETCH(QString, action);
    QFETCH(QStringList, messages);
    QFETCH(QList<QPointF>, graph);
    QFETCH(QString, typed);

    Rig rig;
    EditorWindow* editor = rig.openOn(rows, tank.isEmpty() ? QStringLiteral("5") : tank);
    QVERIFY(editor);
    if (tank.isEmpty()) { // the curve without its tank number, as Clear and typing leave it
        const CurveTable curve = rig.grid()->table();
        rig.trigger("aclear");
        rig.grid()->setTable(curve);
    }
    const QString saved = m_dir->path(QStringLiteral("saved.tnk"));
    rig.dialogs.queueFileName(saved);
    rig.trigger(qPrintable(action));
    auto* entry = rig.child<QLineEdit>(action == "asend" ? "text2" : "Text3");
    if (!typed.isEmpty()) {
        QApplication::clipboard()->setText(typed);
        QTest::keyClick(entry, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(entry->text(), typed);
        QTest::keyClick(entry, Qt::Key_Return);
    }
    QVERIFY(rig.waitIdle());
    const QStringList shown = rig.dialogs.messages();
    QVERIFY2(shown.size() == messages.size(), qPrintable(shown.join(" | ")));
    for (int i = 0; i < shown.size(); ++i)
        QVERIFY2(shown[i].startsWith(messages[i]), qPrintable(shown[i]));
    QVERIFY(!rig.sent().contains("\2CD"));
    QVERIFY(!QFile::exists(saved));
    QVERIFY(QFile::exists(workingFilePath()));
    QCOMPARE(entry->isVisible(), !typed.isEmpty());
    GraphWindow* window = editor->graphWindow();
    QCOMPARE(window != nullptr, !graph.isEmpty());
    if (window) QCOMPARE(seriesOf(window)->points(), graph);
}

void TestEditorWindow::undoRedo_data()
{
    QTest::addColumn<Rows>("start"); // the tank file the editor opens on, tank 5
    QTest::addColumn<QString>("change");
    QTest::addColumn<Rows>("after");
    QTest::addColumn<QString>("label");     // Label1 afterwards
    QTest::addColumn<QStringList>("shown"); // the messages the change shows
    QTest::addColumn<int>("steps");         // the undo steps it adds

    const Rows three{{"100", "0"}, {"600", "50"}, {"1100", "99.99"}};
    const auto row = [&](const char* name, const QString& change, const Rows& after,
                         const QString& label = QStringLiteral("Tank 5"), int steps = 1,
                         const QStringList& shown = {}, const Rows& start = {}) {
        QTest::newRow(name) << (start.isEmpty() ? three : start) << change << after << label
                            << shown << steps;
    };
    row("a key typed", "type 7 at 2:1", {{"100", "0"}, {"6007", "50"}, {"1100", "99.99"}});
    row("Insert", "insert at 2:1", {{"100", "0"}, {"", ""}, {"600", "50"}, {"1100", "99.99"}});
    row("Delete", "delete at 1:1", {{"600", "50"}, {"1100", "99.99"}});
    row("a double-click", "double-click 3:2", {{"100", "0"}, {"600", "50"}, {"1100", ""}});
    row("Clear", "aclear", {}, "");
    row("a paste", "paste 7\t25\n8\t75\n at 2:1", {{"100", "0"}, {"7", "25"}, {"8", "75"}});
    row("a refused paste", "paste 7\t25\t3 at 2:1", three, "Tank 5", 0,
        {"Pasted row 1 not accepted: it has 3 columns; paste VALUE and % only."});
    row("a fill", "fill", {{"0", "0"}, {"2094", "99.99"}});
    row("an opened tank file", "open", {{"-50", "0"}, {"950", "99.99"}}, "Tank 9");
    row("a tank shown from the list", "show", {{"-50", " 0"}, {"450", " 50.00"}, {"950", "99.99"}},
        "Tank  3");
    row("a double-click below the tanks empties the grid", "below", {}, "Tank 5", 1,
        {"Nothing in box"});
    row("the check's reordering", "agraph", three, "Tank 5", 1,
        {"Data was out of order. It has been sorted"},
        {{"1100", "99.99"}, {"100", "0"}, {"600", "50"}});
    row("a check that finds the order right", "agraph", three, "Tank 5", 0);
}

// Each kind of change to the grid is one step of the Edit menu: undone, the grid and its tank
// are as before; redone, as after the change.
void TestEditorWindow::undoRedo()
{
    QFETCH(Rows, start);
    QFETCH(QString, change);
    QFETCH(Rows, after);
    QFETCH(QString, label);
    QFETCH(QStringList, shown);
    QFETCH(int, steps);

    Rig rig;
    EditorWindow* editor = rig.openOn(start);
    QVERIFY(editor);
    const Rows before = rowsOf(rig.grid()->table());
    QCOMPARE(before, start);
    auto* tankLabel = rig.child<QLabel>("Label1");
    const int stepsBefore = editor->undoStack()->count();

    // "ACTION at ROW:COLUMN": the cell made current first.
    const QStringList words = change.split(' ');
    const QStringList cell = words.constLast().split(':');
    if (words.size() > 2) rig.grid()->setCurrentCell({cell[0].toInt(), cell.value(1).toInt()});
    if (words[0] == "type") {
        QTest::keyClick(rig.grid(), words[1].at(0).toLatin1());
    } else if (words[0] == "insert" || words[0] == "delete") {
        QTest::keyClick(rig.grid(), words[0] == "insert" ? Qt::Key_Insert : Qt::Key_Delete);
    } else if (words[0] == "double-click") {
        rig.grid()->setCurrentCell({cell[0].toInt(), cell[1].toInt()});
        QTest::mouseDClick(rig.grid()->viewport(), Qt::LeftButton, {},
                           rig.grid()->visualRect(rig.grid()->currentIndex()).center());
    } else if (words[0] == "paste") {
        QApplication::clipboard()->setText(
            QString(words[1]).replace("\\t", "\t").replace("\\n", "\n"));
        rig.trigger("apaste");
    } else if (words[0] == "fill") {
        editor->fillGrid(curveTableOf({{"0", "0"}, {"2094", "99.99"}}), "Fill");
    } else if (words[0] == "open") {
        const QString other = m_dir->path(QStringLiteral("other.tnk"));
        writeFile(other, tankFileOf(QStringLiteral("9"), {{"-50", "0"}, {"950", "99.99"}}));
        rig.dialogs.queueFileName(other);
        rig.trigger("topen");
    } else if (words[0] == "show" || words[0] == "below") {
        rig.doubleClickTank(words[0] == "show" ? 1 : -1);
    } else {
        rig.trigger(qPrintable(words[0]));
    }
    QCOMPARE(rowsOf(rig.grid()->table()), after);
    QCOMPARE(tankLabel->text(), label);
    QCOMPARE(rig.dialogs.messages(), shown);
    QCOMPARE(editor->undoStack()->count() - stepsBefore, steps);
    if (steps == 0) return;

    rig.trigger("aundo");
    QCOMPARE(rowsOf(rig.grid()->table()), before);
    QCOMPARE(tankLabel->text(), QStringLiteral("Tank 5"));
    rig.trigger("aredo");
    QCOMPARE(rowsOf(rig.grid()->table()), after);
    QCOMPARE(tankLabel->text(), label);
}

// A tank number given after a step (here to Save As) stays when that step is undone: only a
// step that changed the tank puts the old one back.
void TestEditorWindow::undoKeepsTankGivenSince()
{
    Rig rig;
    EditorWindow* editor = rig.openOn({{"100", "0"}, {"600", "50"}, {"1100", "99.99"}});
    QVERIFY(editor);
    rig.grid()->setCurrentCell({2, CurveTable::kValueColumn});
    QTest::keyClick(rig.grid(), '7');
    rig.dialogs.queueFileName(m_dir->path(QStringLiteral("saved.tnk")));
    rig.trigger("tsave");
    rig.enter("Text3", "9");
    QCOMPARE(editor->tankNumberText(), QStringLiteral("9"));
    rig.trigger("aundo");
    QCOMPARE(rig.grid()->table().value(2), QStringLiteral("600"));
    QCOMPARE(editor->tankNumberText(), QStringLiteral("9"));
    QCOMPARE(rig.child<QLabel>("Label1")->text(), QStringLiteral("Tank 9"));
    rig.trigger("aundo"); // the file opened: the tank before it
    QCOMPARE(editor->tankNumberText(), QString());
}

void TestEditorWindow::curveOut_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("filled");     // a fill with its source and largest error first
    QTest::addColumn<QString>("written"); // the CSV; for a sheet the words on its page

    const QString sheet = "Tank: 5 Mode: offset capable Full scale: 1000 Offset: -100 Source: ";
    const QString table = "|Pt. VALUE % 1 100 0 2 600 50 3 1100 99.99 Technician";
    QTest::newRow("Export CSV") << "texport" << false
                                << "percent,value\n0,100\n50,600\n99.99,1100\n";
    QTest::newRow("sheet printed")
        << "tprint" << false << sheet + "file start.tnk Points: 3" + table;
    QTest::newRow("sheet of a fill")
        << "tsheetpdf" << true
        << sheet +
               "horizontal cylinder 2000 x 6000 mm Points: 3 Largest interpolation error: 0.60 "
               "units (0.060 % of full scale) at 41.27 %" +
               table;
}

// What leaves the editor besides tank files: the checked curve as CSV and its calibration
// sheet, saved as PDF or through the print dialog.
void TestEditorWindow::curveOut()
{
    QFETCH(QString, action);
    QFETCH(bool, filled);
    QFETCH(QString, written);

    Rig rig;
    EditorWindow* editor = rig.openOn({{"100", "0"}, {"600", "50"}, {"1100", "99.99"}});
    QVERIFY(editor);
    if (filled) {
        CurveTable table = rig.grid()->table();
        editor->fillGrid(table, "Fill", "horizontal cylinder 2000 x 6000 mm",
                         SheetError{0.6, 41.27});
    }
    const QString out = m_dir->path(QStringLiteral("out"));
    rig.dialogs.queueFileName(out); // a cancelled print is the real dialogs' test's
    rig.trigger(qPrintable(action));
    if (action == "texport") {
        QCOMPARE(QString::fromLatin1(readFile(out)), written);
        return;
    }
    const QStringList pages = testing::pdfPages(out);
    QVERIFY2(pages.size() == 1, "one page of text expected (pdftotext from poppler-utils)");
    QCOMPARE(missingWords(pages[0], written), QString());
}

void TestEditorWindow::shape_data()
{
    QTest::addColumn<TankShape>("tank");
    QTest::addColumn<VolumeUnit>("volumeUnit");
    QTest::addColumn<double>("scale");
    QTest::addColumn<PointRequest>("request");
    QTest::addColumn<bool>("fills");  // the model makes a curve (else OK stays shut)
    QTest::addColumn<bool>("cancel"); // Cancel rather than OK

    const TankShape horizontal = horizontalShape(2000, 6000, TankEnd::Ellipsoidal);
    QTest::newRow("horizontal cylinder, 100 points")
        << horizontal << VolumeUnit::CubicMetre << 100.0 << PointRequest::points(100) << true
        << false;
    QTest::newRow("horizontal cylinder, cancelled") << horizontal << VolumeUnit::CubicMetre << 100.0
                                                    << PointRequest::points(10) << true << true;
    QTest::newRow("vertical cylinder with a cone, within 2 units")
        << verticalShape(3, 4, TankEnd::Cone, 0.5, LengthUnit::Metre) << VolumeUnit::UsGallon << 0.1
        << PointRequest::maxError(2) << true << false;
    QTest::newRow("sphere: values too large for the grid")
        << sphereShape(10, LengthUnit::Foot) << VolumeUnit::Litre << 1.0 << PointRequest::points(20)
        << false << false;
}

// The values typed into the dialog make the model's own curve; OK fills the grid with its
// points and the graph draws its truth under them, the error along the level peaking at the
// largest error the dialog stated. A refused curve keeps OK shut and the grid empty.
void TestEditorWindow::shape()
{
    QFETCH(TankShape, tank);
    QFETCH(VolumeUnit, volumeUnit);
    QFETCH(double, scale);
    QFETCH(PointRequest, request);
    QFETCH(bool, fills);
    QFETCH(bool, cancel);

    Rig rig;
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor);
    QVERIFY(!editor->table().filledRows());
    editor->findChild<QAction*>(QStringLiteral("newShape"))->trigger();
    auto* dialog = rig.child<ShapeDialog>("shapedlg");
    QVERIFY(dialog && dialog->isVisible());

    choose(dialog, "shapeKind", tankKindName(tank.kind));
    choose(dialog, "shapeEnd", tankEndName(tank.end));
    choose(dialog, "lengthUnit", lengthUnitName(tank.unit));
    choose(dialog, "volumeUnit", volumeUnitName(volumeUnit));
    for (const auto& [name, value] :
         {std::pair{"diameter", tank.diameter}, std::pair{"length", tank.length},
          std::pair{"height", tank.height}, std::pair{"width", tank.width},
          std::pair{"endDepth", tank.endDepth.value_or(0)}, std::pair{"scale", scale}})
        dialog->findChild<QDoubleSpinBox*>(QLatin1String(name))->setValue(value);
    if (request.count) {
        dialog->findChild<QSpinBox*>("pointCount")->setValue(*request.count);
    } else {
        dialog->findChild<QRadioButton*>("byError")->setChecked(true);
        dialog->findChild<QDoubleSpinBox*>("maxError")->setValue(*request.tolerance);
    }
    if (QTest::currentTestFailed()) return; // a choice the dialog does not offer

    const CurveFit expected = curveFromShape(tank, {}, volumeUnit, scale, request, true);
    QCOMPARE(expected.ok(), fills);
    auto* summary = dialog->findChild<QLabel*>("fitSummary");
    QTRY_COMPARE(summary->text(), curveFitSummary(expected));
    QCOMPARE(dialogButton(dialog, QDialogButtonBox::Ok)->isEnabled(), fills);
    if (!fills || cancel) {
        if (cancel)
            QTest::mouseClick(dialogButton(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
        else
            dialog->accept(); // as Enter would
        QCOMPARE(dialog->isVisible(), !cancel);
        QVERIFY(!editor->table().filledRows());
        return;
    }
    QTest::mouseClick(dialogButton(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    QCOMPARE(rowsOf(editor->table()), rowsOf(expected.points));
    QCOMPARE(editor->pointCount(), expected.points.size());
    QCOMPARE(editor->sourceText(), dialog->sourceText());

    editor->findChild<QAction*>(QStringLiteral("agraph"))->trigger();
    QCOMPARE(rig.dialogs.messages(), QStringList{});
    GraphWindow* graph = editor->graphWindow();
    QVERIFY(graph);
    QCOMPARE(graph->findChild<QLabel*>("graphTank")->text(),
             QStringLiteral("No tank number — ") + dialog->sourceText());
    // The legend tells the three lines apart; the markers have no entry of their own.
    QLegend* legend = graph->findChild<QChartView*>(QStringLiteral("Graph1"))->chart()->legend();
    QStringList named;
    for (QLegendMarker* marker : legend->markers())
        if (marker->isVisible()) named.append(marker->label());
    QVERIFY(legend->isVisible());
    QCOMPARE(named,
             (QStringList{"True curve", "Meter's curve (points)", "Meter's error (right axis)"}));
    QCOMPARE(seriesOf(graph, "trueCurve")->count(), kLevelSteps);
    const QList<QPointF> error = seriesOf(graph, "errorAlongLevel")->points();
    QCOMPARE(error.size(), kLevelSteps);
    const auto worst = std::max_element(error.begin(), error.end(), [](QPointF a, QPointF b) {
        return std::abs(a.y()) < std::abs(b.y());
    });
    QVERIFY2(std::abs(std::abs(worst->y()) - expected.largestError) < 1e-6,
             qPrintable(QString::number(worst->y())));
}

void TestEditorWindow::shapeFollowsTheForm_data()
{
    QTest::addColumn<TankShape>("tank"); // as the form holds it once the value is in
    QTest::addColumn<QString>("field");  // the box whose value changes
    QTest::addColumn<QString>("click");  // clicked at once after: OK or a radio button
    QTest::addColumn<double>("scale");
    QTest::addColumn<PointRequest>("request"); // as the form then asks
    QTest::addColumn<bool>("slow"); // the curve takes long enough to tell the window's own work

    QTest::newRow("a cone's depth, then OK")
        << verticalShape(2000, 3000, TankEnd::Cone, 1000.0) << "endDepth"
        << "ok" << 100.0 << PointRequest::points(100) << false;
    // The fewest points of a curve that stays within 2 units of values up to 42: a search of a
    // few hundred milliseconds.
    QTest::newRow("the scale, then fewest points")
        << horizontalShape(2000, 6000, TankEnd::Ellipsoidal) << "scale"
        << "byError" << 2.0 << PointRequest::maxError(2) << true;
}

// After a change the preview at once says that it works out the curve, never the curve of the
// values before; the window takes a click meanwhile, and keeps taking events while the curve is
// made; the curve then shown, or the one OK takes, is the form's own.
void TestEditorWindow::shapeFollowsTheForm()
{
    QFETCH(TankShape, tank);
    QFETCH(QString, field);
    QFETCH(QString, click);
    QFETCH(double, scale);
    QFETCH(PointRequest, request);
    QFETCH(bool, slow);
    const QString working = QStringLiteral("Working out the curve…");

    Rig rig;
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor);
    editor->findChild<QAction*>(QStringLiteral("newShape"))->trigger();
    QPointer<ShapeDialog> dialog = rig.child<ShapeDialog>("shapedlg");
    QVERIFY(dialog);
    choose(dialog, "shapeKind", tankKindName(tank.kind));
    choose(dialog, "shapeEnd", tankEndName(tank.end));
    if (QTest::currentTestFailed()) return;
    if (request.tolerance)
        dialog->findChild<QDoubleSpinBox*>("maxError")->setValue(*request.tolerance);
    auto* summary = dialog->findChild<QLabel*>("fitSummary");
    QTRY_VERIFY(summary->text() != working);

    const double before = threadCpuMs();
    const CurveFit expected = curveFromShape(tank, {}, VolumeUnit::CubicMetre, scale, request);
    const double makeMs = threadCpuMs() - before;
    QVERIFY2(expected.ok(), qPrintable(expected.refusal));

    PaintedTexts painted(summary);
    summary->repaint(); // what was shown before the change
    painted.texts.clear();
    StallWatch stalls;
    // Up to the curve shown: what OK then does with it is the editor's.
    connect(dialog, &CurveSourceDialog::curveShown, &stalls.tick, [&] { stalls.stop(); });
    dialog->findChild<QDoubleSpinBox*>(field)->setValue(field == "scale" ? scale : *tank.endDepth);
    QCOMPARE(summary->text(), working);
    if (click == "ok") {
        QTest::mouseClick(dialogButton(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    } else {
        auto* radio = dialog->findChild<QRadioButton*>(click);
        QTest::mouseClick(radio, Qt::LeftButton);
        QVERIFY(radio->isChecked());
    }
    QCOMPARE(summary->text(), working);

    const auto settled = [&] {
        return click == "ok" ? !dialog || !dialog->isVisible()
                             : summary->text() == curveFitSummary(expected);
    };
    QElapsedTimer clock;
    clock.start();
    while (!settled() && clock.elapsed() < 20000)
        QTest::qWait(1);
    QVERIFY(settled());
    stalls.stop();
    // The curve was made away from the window's thread: it never worked half as long as the
    // making takes without turning its event loop.
    if (slow)
        QVERIFY2(stalls.longest < makeMs / 2,
                 qPrintable(QStringLiteral("%1 ms of work without events; the curve takes %2 ms")
                                .arg(stalls.longest)
                                .arg(makeMs)));
    for (const QString& text : painted.texts)
        QVERIFY2(text == working || text == curveFitSummary(expected), qPrintable(text));
    if (click == "ok")
        QCOMPARE(rowsOf(editor->table()), rowsOf(expected.points));
    else
        QVERIFY(dialogButton(dialog, QDialogButtonBox::Ok)->isEnabled());
}

void TestEditorWindow::importTable_data()
{
    QTest::addColumn<QString>("table");     // in tests/data/strapping
    QTest::addColumn<QString>("opensIn");   // the level unit the dialog opens with
    QTest::addColumn<QString>("levelUnit"); // then chosen; empty: left as it opened
    QTest::addColumn<LevelRange>("range");
    QTest::addColumn<QString>("message"); // a refusal shown instead of the dialog

    const auto row = [](const char* name, const char* table, const char* opensIn,
                        const char* levelUnit, LevelRange range = {}, const char* message = "") {
        QTest::newRow(name) << QString(table) << QString(opensIn) << QString(levelUnit) << range
                            << QString(message);
    };
    row("levels in mm, a sensor seeing 500 to 1500 mm", "level-no-unit.csv", "percent", "mm",
        LevelRange{500.0, 1000.0});
    row("the header names mm", "level-mm.csv", "mm", "");
    row("mm read as percent: OK stays shut", "level-no-unit.csv", "percent", "");
    row("a bad row", "escape-row.csv", "", "percent", {}, "line 3");
}

// The table's rows become the grid's points as the model makes them from the unit and range
// chosen, the unit at first the one the header names, as a line under it says; a level above
// 100 read as percent keeps OK shut with the model's refusal; a bad row is refused with its
// line and no dialog opens.
void TestEditorWindow::importTable()
{
    QFETCH(QString, table);
    QFETCH(QString, opensIn);
    QFETCH(QString, levelUnit);
    QFETCH(LevelRange, range);
    QFETCH(QString, message);

    Rig rig;
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor);
    const QString path = dataPath(QStringLiteral("strapping/") + table);
    rig.dialogs.queueFileName(path);
    editor->findChild<QAction*>(QStringLiteral("importTable"))->trigger();
    auto* dialog = rig.child<QDialog>("tabledlg");
    if (!message.isEmpty()) {
        QVERIFY(!dialog);
        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY2(rig.dialogs.messages().constFirst().contains(message),
                 qPrintable(rig.dialogs.messages().constFirst()));
        return;
    }
    QVERIFY(dialog);
    auto* unit = dialog->findChild<QComboBox*>("levelUnit");
    QCOMPARE(unit->currentText(), opensIn);
    const StrappingTable rows = parseStrappingTable(readFile(path));
    auto* named = dialog->findChild<QLabel*>("headerUnit");
    QVERIFY(named);
    QCOMPARE(named->isVisible(), !rows.levelUnit.isEmpty());
    if (named->isVisible()) QCOMPARE(named->text(), headerUnitText(rows));
    if (!levelUnit.isEmpty()) unit->setCurrentText(levelUnit);
    if (unit->currentText() != QLatin1String("percent")) {
        dialog->findChild<QDoubleSpinBox*>("levelZero")->setValue(range.zero.value_or(0));
        dialog->findChild<QDoubleSpinBox*>("levelSpan")->setValue(range.span.value_or(0));
    }
    const CurveFit expected = curveFromTable(rows, unit->currentText() == "percent", range, 1,
                                             PointRequest::points(100), true);
    QTRY_COMPARE(dialog->findChild<QLabel*>("fitSummary")->text(), curveFitSummary(expected));
    QCOMPARE(dialogButton(dialog, QDialogButtonBox::Ok)->isEnabled(), expected.ok());
    QTest::mouseClick(dialogButton(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    QCOMPARE(dialog->isVisible(), !expected.ok());
    QCOMPARE(rowsOf(editor->table()), rowsOf(expected.points));
}

// Steps "enter N" (the list's row N made current, then Enter), "dclick N", "open" (water.tnk,
// tank 5), "undo", each as a person takes them.
void runSteps(Rig& rig, const QString& steps, const QString& file)
{
    auto* list = rig.child<QListWidget>("List1");
    for (const QString& step : steps.split(u',')) {
        const QStringList words = step.split(u' ');
        if (words[0] == "enter") {
            list->setCurrentRow(words[1].toInt());
            QTest::keyClick(list, Qt::Key_Return);
        } else if (words[0] == "dclick") {
            rig.doubleClickTank(words[1].toInt());
        } else if (words[0] == "open") {
            rig.dialogs.queueFileName(file);
            rig.trigger("topen");
        } else {
            rig.trigger("aundo");
        }
    }
}

void TestEditorWindow::tankShown_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("selected"); // the list's highlighted row, -1 for none
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("proposed"); // what Save As's tank number box starts with

    const auto row = [](const char* name, const char* steps, int selected, const char* label) {
        QTest::newRow(name) << QString(steps) << selected << QString(label)
                            << QString(label).section(u' ', -1);
    };
    row("Enter on the list", "enter 1", 1, "Tank  3");
    row("a tank, then a file", "dclick 0,open", -1, "Tank 5");
    row("the file undone", "dclick 0,open,undo", 0, "Tank  12");
    row("a file, then a tank", "open,enter 2", 2, "Tank  7");
}

// The list highlights the tank the grid holds and nothing while it holds a file; Save As offers
// the tank's number selected in the focused box, Enter takes it.
void TestEditorWindow::tankShown()
{
    QFETCH(QString, steps);
    QFETCH(int, selected);
    QFETCH(QString, label);
    QFETCH(QString, proposed);

    const QString file = m_dir->path(QStringLiteral("water.tnk"));
    writeFile(file, threePointTankFile(true));
    Rig rig;
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor);
    editor->activateWindow();
    runSteps(rig, steps, file);
    const QList<QListWidgetItem*> highlighted = rig.child<QListWidget>("List1")->selectedItems();
    QCOMPARE(highlighted.isEmpty() ? -1 : rig.child<QListWidget>("List1")->row(highlighted[0]),
             selected);
    QCOMPARE(rig.child<QLabel>("Label1")->text(), label);

    const QString kept = m_dir->path(QStringLiteral("kept.tnk"));
    rig.dialogs.queueFileName(kept);
    rig.trigger("tsave");
    auto* entry = rig.child<QLineEdit>("Text3");
    QVERIFY(entry->isVisible());
    QCOMPARE(entry->text(), proposed);
    QCOMPARE(entry->selectedText(), proposed);
    QCOMPARE(editor->focusWidget(), entry);
    QTest::keyClick(entry, Qt::Key_Return);
    QVERIFY(!entry->isVisible());
    QVERIFY(readFile(kept).startsWith(proposed.toLatin1() + "\r\n"));
    QCOMPARE(rig.dialogs.messages().constLast(), "File " + kept + " saved.");
}

void TestEditorWindow::saveBack_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("writesBack"); // Ctrl+S writes the file opened; else it asks as Save As
    QTest::newRow("a tank file") << "open" << true;
    QTest::newRow("a tank from the list") << "open,dclick 0" << false;
}

// Beside the grid, full scale, offset and points follow the typing; Ctrl+S writes the grid back
// to the tank file it came from without a dialog, or asks as Save As for a tank of the list.
void TestEditorWindow::saveBack()
{
    QFETCH(QString, steps);
    QFETCH(bool, writesBack);

    const QString file = m_dir->path(QStringLiteral("water.tnk"));
    writeFile(file, threePointTankFile(true));
    Rig rig;
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor);
    runSteps(rig, steps, file);
    auto* summary = rig.child<QLabel>("curveSummary");
    if (writesBack) {
        QCOMPARE(summary->text(), QStringLiteral("Full scale: 1000\nOffset: -100\nPoints: 3"));
        rig.grid()->setCurrentCell({1, CurveTable::kValueColumn});
        QTest::keyClick(rig.grid(), Qt::Key_Backspace); // the first value, 100, becomes 10
        QCOMPARE(summary->text(), QStringLiteral("Full scale: 1090\nOffset: -10\nPoints: 3"));
    }
    const QString asked = m_dir->path(QStringLiteral("asked.tnk"));
    rig.dialogs.queueFileName(asked);
    // The offscreen platform does not hand the focus on as a window manager does.
    editor->activateWindow();
    QVERIFY(QTest::qWaitFor([&] { return QApplication::activeWindow() == editor; }));
    rig.grid()->setFocus();
    QTest::keyClick(rig.grid(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(rig.child<QLineEdit>("Text3")->isVisible(), !writesBack);
    if (writesBack) {
        QCOMPARE(rig.dialogs.messages(), QStringList{"File " + file + " saved."});
        QVERIFY(readFile(file).startsWith("5\r\n"));
        QVERIFY(readFile(file).contains(" 1090 \r\n-10 \r\n 3 \r\n10, 0,"));
        QVERIFY(!QFile::exists(asked)); // no dialog was shown
    }
}

// While a send runs, its step and bar take the place kept for them: the grid stays where it was,
// and the longest step with its percentage fits the bar on one line.
void TestEditorWindow::sendKeepsLayout()
{
    const QString file = m_dir->path(QStringLiteral("water.tnk"));
    writeFile(file, threePointTankFile(true));
    Rig rig;
    EditorWindow* editor = rig.openEditor(true, file);
    QVERIFY(editor);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QRect before = rig.grid()->geometry();
    rig.trigger("asend");
    auto* bar = rig.child<QProgressBar>("pbTank");
    QVERIFY(bar->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(rig.grid()->geometry(), before);
    bar->setFormat(QStringLiteral("Reading the meter for a backup\u2026  %p%"));
    bar->setValue(100);
    QVERIFY2(bar->fontMetrics().horizontalAdvance(bar->text()) < bar->contentsRect().width(),
             qPrintable(QString::number(bar->width())));
    QVERIFY(rig.waitIdle());
    QTRY_COMPARE(rig.dialogs.messages().constLast(), QStringLiteral("Tank data sent."));
}

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
