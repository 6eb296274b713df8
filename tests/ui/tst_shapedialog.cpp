// Curves from the tank itself through the editor's windows: the shape dialog's values make the
// model's curve and fill the grid, the graph then draws the true curve and its error; a curve
// the model refuses keeps OK shut and the grid as it was; a strapping table is imported, or
// refused with the line of its bad row.

#include "editor/curvegrid.h"
#include "editor/curvesource.h"
#include "editor/editorwindow.h"
#include "editor/shapedialog.h"
#include "graph/graphwindow.h"
#include "store/workingfile.h"
#include "tests/support/uirig.h"

#include <QChartView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

using namespace kaldor;
using namespace kaldor::testing;

namespace
{

using Rows = QList<QStringList>; // VALUE, percentage

Rows rowsOf(const CurveTable& t)
{
    Rows rows;
    for (int r = 1; r <= t.filledRows(); ++r)
        rows.append({t.value(r), t.percent(r)});
    return rows;
}

Rows rowsOf(const LevelPoints& points)
{
    CurveTable table;
    fillPointRows(table, points);
    return rowsOf(table);
}

struct Rig : UiRig {
    Rig() : UiRig(sampleImage()) {}
    EditorWindow* openEditor()
    {
        QFile::copy(QStringLiteral(KALDOR_SOURCE_DIR "/samples/three-tanks.idr"),
                    workingFilePath());
        if (!waitIdle()) return nullptr;
        UiRig::trigger(nullptr, "tfiles");
        editor = find<EditorWindow>("atnkfrm");
        return editor;
    }
    template <class T = QDialog> T* dialog(const char* name)
    {
        return editor->findChild<T*>(QLatin1String(name));
    }
    QPointer<EditorWindow> editor;
};

template <class T> T* field(QWidget* dialog, const char* name)
{
    return dialog->findChild<T*>(QLatin1String(name));
}

void choose(QWidget* dialog, const char* name, const QString& data)
{
    auto* box = field<QComboBox>(dialog, name);
    const int index = box->findData(data);
    QVERIFY2(index >= 0, qPrintable(data));
    box->setCurrentIndex(index);
}

QPushButton* okButton(QWidget* dialog)
{
    return dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

QLineSeries* series(GraphWindow* graph, const char* name)
{
    return graph->findChild<QChartView*>(QStringLiteral("Graph1"))
        ->chart()
        ->findChild<QLineSeries*>(QLatin1String(name));
}

} // namespace

class TestShapeDialog : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_dir.emplace(); }
    void cleanup() { m_dir.reset(); }
    void shape_data();
    void shape();
    void importTable_data();
    void importTable();

private:
    std::optional<FreshDirectory> m_dir;
};

void TestShapeDialog::shape_data()
{
    QTest::addColumn<TankShape>("tank");
    QTest::addColumn<VolumeUnit>("volumeUnit");
    QTest::addColumn<double>("scale");
    QTest::addColumn<PointRequest>("request");
    QTest::addColumn<bool>("fills");  // the model makes a curve (else OK stays shut)
    QTest::addColumn<bool>("cancel"); // Cancel rather than OK

    TankShape horizontal;
    horizontal.kind = TankKind::HorizontalCylinder;
    horizontal.unit = LengthUnit::Millimetre;
    horizontal.diameter = 2000;
    horizontal.length = 6000;
    horizontal.end = TankEnd::Ellipsoidal;
    QTest::newRow("horizontal cylinder, 100 points")
        << horizontal << VolumeUnit::CubicMetre << 100.0 << PointRequest::points(100) << true
        << false;
    QTest::newRow("horizontal cylinder, cancelled") << horizontal << VolumeUnit::CubicMetre << 100.0
                                                    << PointRequest::points(10) << true << true;
    TankShape vertical;
    vertical.kind = TankKind::VerticalCylinder;
    vertical.unit = LengthUnit::Metre;
    vertical.diameter = 3;
    vertical.height = 4;
    vertical.end = TankEnd::Cone;
    vertical.endDepth = 0.5;
    QTest::newRow("vertical cylinder with a cone, within 2 units")
        << vertical << VolumeUnit::UsGallon << 0.1 << PointRequest::maxError(2) << true << false;
    TankShape sphere;
    sphere.kind = TankKind::Sphere;
    sphere.unit = LengthUnit::Foot;
    sphere.diameter = 10;
    QTest::newRow("sphere: values too large for the grid")
        << sphere << VolumeUnit::Litre << 1.0 << PointRequest::points(20) << false << false;
    TankShape cone = vertical;
    cone.endDepth.reset();
    QTest::newRow("cone without its depth")
        << cone << VolumeUnit::CubicMetre << 100.0 << PointRequest::points(100) << false << false;
}

// The values typed into the dialog make the model's own curve; OK fills the grid with its
// points and the graph draws its truth under them, the error along the level peaking at the
// largest error the dialog stated. A refused curve keeps OK shut and the grid empty.
void TestShapeDialog::shape()
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
    auto* dialog = rig.dialog<ShapeDialog>("shapedlg");
    QVERIFY(dialog && dialog->isVisible());

    choose(dialog, "shapeKind", tankKindName(tank.kind));
    choose(dialog, "shapeEnd", tankEndName(tank.end));
    choose(dialog, "lengthUnit", lengthUnitName(tank.unit));
    choose(dialog, "volumeUnit", volumeUnitName(volumeUnit));
    for (const auto& [name, value] :
         {std::pair{"diameter", tank.diameter}, std::pair{"length", tank.length},
          std::pair{"height", tank.height}, std::pair{"width", tank.width},
          std::pair{"endDepth", tank.endDepth.value_or(0)}, std::pair{"scale", scale}})
        field<QDoubleSpinBox>(dialog, name)->setValue(value);
    if (request.count) {
        field<QSpinBox>(dialog, "pointCount")->setValue(*request.count);
    } else {
        field<QRadioButton>(dialog, "byError")->setChecked(true);
        field<QDoubleSpinBox>(dialog, "maxError")->setValue(*request.tolerance);
    }
    if (QTest::currentTestFailed()) return; // a choice the dialog does not offer

    const CurveFit expected = curveFromShape(tank, {}, volumeUnit, scale, request, true);
    QCOMPARE(expected.ok(), fills);
    auto* summary = field<QLabel>(dialog, "fitSummary");
    QTRY_COMPARE(summary->text(), curveFitSummary(expected));
    QCOMPARE(okButton(dialog)->isEnabled(), fills);
    if (!fills || cancel) {
        if (cancel)
            QTest::mouseClick(
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                Qt::LeftButton);
        else
            dialog->accept(); // as Enter would
        QCOMPARE(dialog->isVisible(), !cancel);
        QVERIFY(!editor->table().filledRows());
        return;
    }
    QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    QCOMPARE(rowsOf(editor->table()), rowsOf(expected.points));
    QCOMPARE(editor->pointCount(), expected.points.size());
    QCOMPARE(editor->sourceText(), dialog->sourceText());

    editor->findChild<QAction*>(QStringLiteral("agraph"))->trigger();
    QCOMPARE(rig.dialogs.messages(), QStringList{});
    GraphWindow* graph = editor->graphWindow();
    QVERIFY(graph);
    QCOMPARE(series(graph, "trueCurve")->count(), kLevelSteps);
    const QList<QPointF> error = series(graph, "errorAlongLevel")->points();
    QCOMPARE(error.size(), kLevelSteps);
    const auto worst = std::max_element(error.begin(), error.end(), [](QPointF a, QPointF b) {
        return std::abs(a.y()) < std::abs(b.y());
    });
    QVERIFY2(std::abs(std::abs(worst->y()) - expected.largestError) < 1e-6,
             qPrintable(QString::number(worst->y())));
}

void TestShapeDialog::importTable_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("levelUnit"); // "percent" or a length unit
    QTest::addColumn<LevelRange>("range");
    QTest::addColumn<QString>("message"); // a refusal shown instead of the dialog

    QTest::newRow("levels in mm, a sensor seeing 500 to 1500 mm")
        << QByteArray("level;volume\r\n0;0\r\n500;310,5\r\n2000;900\r\n") << "mm"
        << LevelRange{500.0, 1000.0} << "";
    QTest::newRow("a bad row") << QByteArray("level,volume\n0,0\n\n50,abc\n99.99,900\n")
                               << "percent" << LevelRange{} << "line 4";
}

// The table's rows become the grid's points as the model makes them from the unit and range
// chosen; a bad row is refused with its line and no dialog opens.
void TestShapeDialog::importTable()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, levelUnit);
    QFETCH(LevelRange, range);
    QFETCH(QString, message);

    Rig rig;
    EditorWindow* editor = rig.openEditor();
    QVERIFY(editor);
    const QString path = m_dir->path(QStringLiteral("table.csv"));
    writeFile(path, csv);
    rig.dialogs.queueFileName(path);
    editor->findChild<QAction*>(QStringLiteral("importTable"))->trigger();
    auto* dialog = rig.dialog("tabledlg");
    if (!message.isEmpty()) {
        QVERIFY(!dialog);
        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY2(rig.dialogs.messages().constFirst().contains(message),
                 qPrintable(rig.dialogs.messages().constFirst()));
        return;
    }
    QVERIFY(dialog);
    field<QComboBox>(dialog, "levelUnit")->setCurrentText(levelUnit);
    field<QDoubleSpinBox>(dialog, "levelZero")->setValue(range.zero.value_or(0));
    field<QDoubleSpinBox>(dialog, "levelSpan")->setValue(range.span.value_or(0));
    QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    const CurveFit expected = curveFromTable(parseStrappingTable(csv), levelUnit == "percent",
                                             range, 1, PointRequest::points(100), true);
    QVERIFY2(expected.ok(), qPrintable(expected.refusal));
    QCOMPARE(rowsOf(editor->table()), rowsOf(expected.points));
}

QTEST_MAIN(TestShapeDialog)
#include "tst_shapedialog.moc"
