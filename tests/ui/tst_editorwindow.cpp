// The tank editor driven through its widgets, opened from the main window against the
// in-process simulated meter: a tank shown in both modes, the three-point tank file saved,
// reopened and sent in both modes, what the checks refuse before anything is written, and bad
// typing. The road through it and what its load refuses are in tst_indicatorfiles, closing it
// mid-exchange in tst_mainwindow.

#include "editor/curvegrid.h"
#include "editor/editorwindow.h"
#include "graph/graphwindow.h"
#include "store/indicatortanks.h"
#include "store/workingfile.h"
#include "tests/store/testimages.h"
#include "tests/support/uirig.h"

#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>

using namespace kaldor;
using namespace kaldor::testing;

namespace
{

using Rows = QList<QStringList>; // VALUE, percentage

const QString kRefusal =
    QStringLiteral("Input not accepted. Tank number must be between 1 and 255.");

// One tank, 5, at 512: full scale 1000, word 2 = 100, then the words (0, 0), (16385, 16383),
// (32767, 32767).
IndicatorImage oneTankImage()
{
    return placeTanks({{5, 512, {1000, 100, 0, 0, 16385, 16383, 32767, 32767}}}, 528, 528);
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
        ->findChild<QLineSeries*>(QStringLiteral("curveLine"));
}

// The shared rig with the editor's controls at hand.
struct Rig : UiRig {
    Rig() : UiRig(sampleImage()) {}

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

class TestEditorWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void showTank_data();
    void showTank();
    void threePointTank_data();
    void threePointTank();
    void refusedBeforeWriting_data();
    void refusedBeforeWriting();

private:
    std::optional<FreshDirectory> m_dir;
};

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
    QCOMPARE(rig.items(), QStringList{"Tank  5"});
    rig.doubleClickTank(item);
    QCOMPARE(rowsOf(rig.grid()->table()), rows);
    QCOMPARE(rig.dialogs.messages(), messages);
    if (item >= 0) {
        // The grid ignores what is not a digit, typed or pasted.
        QApplication::clipboard()->setText(QStringLiteral("abc"));
        rig.grid()->setCurrentCell({1, CurveTable::kPercentColumn});
        QTest::keyClicks(rig.grid(), QStringLiteral("abc.#*"));
        QTest::keyClick(rig.grid(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(rowsOf(rig.grid()->table()), rows);
        QCOMPARE(editor->pointCount(), rows.size());
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

// Started on the worked example tank file (kaldor FILE.tnk), saved again byte for byte, and
// sent under its own tank number without asking for one.
void TestEditorWindow::threePointTank()
{
    QFETCH(bool, offsetMode);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, wire);

    writeWorkingFile(sampleImage());
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
    QTest::addColumn<QString>("typed");        // pasted into the tank number box, then Enter

    const Rows rising{{"100", "0"}, {"2000", "50"}, {"1100", "99.99"}};
    const Rows wide{{"100", "0"}, {"32868", "99.99"}};
    QTest::newRow("send without a tank number: a middle value above the last")
        << "" << rising << "asend" << QStringList{"Last value in grid must be largest"}
        << QList<QPointF>{} << "";
    QTest::newRow("save: a middle value above the last")
        << "5" << rising << "tsave" << QStringList{"Last value in grid must be largest"}
        << QList<QPointF>{} << "";
    QTest::newRow("send: tank 0 from the file")
        << "0" << Rows{{"1", "0"}, {"2", "99.99"}} << "asend" << QStringList{kRefusal}
        << QList<QPointF>{} << "";
    QTest::newRow("send: full scale 32768")
        << "5" << wide << "asend" << QStringList{"The full scale 32768 is too large for the meter"}
        << QList<QPointF>{} << "";
    QTest::newRow("save: full scale 32768")
        << "5" << wide << "tsave"
        << QStringList{"The full scale 32768 is too large for a tank file"} << QList<QPointF>{}
        << "";
    QTest::newRow("send: an empty grid")
        << "5" << Rows{} << "asend" << QStringList{"No data in grid."} << QList<QPointF>{} << "";
    QTest::newRow("graph: last percentage 95")
        << "5" << Rows{{"1", "0"}, {"2", "95"}} << "agraph"
        << QStringList{"Last % value must be 99.99"} << QList<QPointF>{} << "";
    QTest::newRow("graph: sorted first")
        << "5" << Rows{{"1100", "99.99"}, {"100", "0"}, {"600", "50.000"}} << "agraph"
        << QStringList{"Data was out of order. It has been sorted"}
        << QList<QPointF>{{0, 100}, {50, 600}, {99.99, 1100}} << "";
    // Through the real widgets: a refused tank number is a message and the box stays open.
    const Rows good{{"1", "0"}, {"2", "99.99"}};
    QTest::newRow("send: typed symbols")
        << "" << good << "asend" << QStringList{kRefusal} << QList<QPointF>{} << "#$%&*()";
    QTest::newRow("save: typed 256")
        << "5" << good << "tsave" << QStringList{kRefusal} << QList<QPointF>{} << "256";
    QTest::newRow("save: a long paste") << "5" << good << "tsave" << QStringList{kRefusal}
                                        << QList<QPointF>{} << QString(5000, QLatin1Char('9'));
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

    writeWorkingFile(sampleImage());
    const QString file = m_dir->path(QStringLiteral("curve.tnk"));
    writeFile(file, tankFileOf(tank.isEmpty() ? QStringLiteral("5") : tank, rows));
    Rig rig;
    EditorWindow* editor = rig.openEditor(true, file);
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

QTEST_MAIN(TestEditorWindow)
#include "tst_editorwindow.moc"
