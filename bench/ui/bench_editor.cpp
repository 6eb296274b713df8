// The tank editor on a full image: 164 tanks (163 of 35 points, one of 100) in the working
// file. Measures, as medians over fresh windows, the time from opening the editor to its list
// filled and painted, from a double-click's action to the 100-point tank shown and painted in
// the grid, and from a key event on Grid1 to the cell repainted. Prints the figures beside their
// targets; decides nothing. Runs on the offscreen platform unless QT_QPA_PLATFORM or DISPLAY is
// set.
//
// Then the shape dialog, for every shape: from a changed dimension to the preview painted with
// the curve for it (the curve is made on the dialog's worker thread), median and max, with 100
// points and with the fewest points within 1 unit, and the longest the window's event loop
// waited meanwhile.
//
//   bench_editor [--runs N] [--screenshot FILE.png] [--shape-screenshot FILE.png]
//                [--graph-screenshot FILE.png]
// With --screenshot it instead grabs the editor showing the sample image's first tank into FILE;
// with --shape-screenshot the shape dialog making the fewest points within 1 unit; with
// --graph-screenshot the graph of those points over the tank's true curve, with their error.

#include "bench/support/benchdialogs.h"
#include "bench/support/stats.h"
#include "construct/indicatorbuilder.h"
#include "curves/curvesource.h"
#include "curves/shapedialog.h"
#include "editor/curvegrid.h"
#include "editor/editorwindow.h"
#include "graph/graphwindow.h"
#include "link/link.h"
#include "store/indicatorfile.h"
#include "store/workingfile.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

using namespace kaldor;

namespace {

constexpr double kListTargetMs = 150;
constexpr double kTankTargetMs = 30;
constexpr double kKeyTargetMs = 5;
constexpr double kShapeTargetMs = 50; // the window never keeps input waiting longer
constexpr int kTanks = 164;
constexpr int kSmallTank = 35;
constexpr int kLargeTank = 100;

TankSource tank(int number, int points)
{
    TankSource source;
    source.tankNumber = number;
    source.fullScale = 3400;
    for (int k = 0; k < points; ++k) {
        const double fraction = double(k) / (points - 1);
        source.points.append({QString::number(int(fraction * 3400)),
                              k == points - 1 ? QStringLiteral("99.99")
                                              : QString::number(fraction * 99.99, 'f', 2)});
    }
    return source;
}

// The full image in the working file; the 100-point tank is the last of the list.
bool writeFullImage()
{
    QList<TankSource> tanks;
    for (int t = 1; t < kTanks; ++t)
        tanks.append(tank(t, kSmallTank));
    tanks.append(tank(kTanks, kLargeTank));
    BuildState state;
    const BuildResult built = buildFromSources(tanks, true, state);
    if (!built.ok) {
        std::fprintf(stderr, "bench_editor: build failed: %s\n",
                     qPrintable(built.messages.value(0).text));
        return false;
    }
    QFile f(workingFilePath());
    const QByteArray text = formatIndicatorFile(state.totalLength / 8, state.image, 0);
    std::printf("working file: %d tanks, image %d bytes\n", kTanks, state.totalLength);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

double ms(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

// The CPU time the calling thread has used, in ms: what of a wait was the thread's own work
// rather than the machine's other work.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Stats {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double median() const { return bench::median(values); }
    double max() const { return *std::max_element(values.begin(), values.end()); }
};

void report(const char* what, Stats& s, double target)
{
    const double median = s.median();
    std::printf("%-52s median %7.2f ms  max %7.2f ms over %zu; target < %.0f ms: %s\n", what,
                median, s.max(), s.values.size(), target, median < target ? "met" : "NOT met");
}

// Counts the paint events a widget gets, so that a repaint that did nothing shows.
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

std::unique_ptr<Link> idleLink()
{
    // The editor only reads the working file here; the link is never asked for anything.
    return std::make_unique<Link>([](const PortSpec&) { return std::unique_ptr<SerialPort>(); });
}

// The shapes the dialog makes, each with every bottom or head a cylinder takes (a horizontal
// one has no cone heads).
struct DialogShape {
    TankKind kind;
    TankEnd end;
};

QVector<DialogShape> dialogShapes()
{
    QVector<DialogShape> shapes;
    for (const TankKind kind : {TankKind::VerticalCylinder, TankKind::HorizontalCylinder})
        for (const TankEnd end : {TankEnd::Flat, TankEnd::Cone, TankEnd::Ellipsoidal,
                                  TankEnd::Hemispherical, TankEnd::Torispherical})
            if (kind == TankKind::VerticalCylinder || end != TankEnd::Cone)
                shapes.append({kind, end});
    shapes.append({TankKind::Sphere, TankEnd::Flat});
    shapes.append({TankKind::Box, TankEnd::Flat});
    return shapes;
}

void chooseData(QComboBox* box, const QString& data)
{
    box->setCurrentIndex(std::max(0, box->findData(data)));
}

// Runs the event loop until the dialog shows the curve for its values and the preview has
// been painted since. The longest the loop went without turning meanwhile goes to stall, with
// the window thread's own CPU time in that wait.
struct Stall {
    double wall = 0;
    double cpu = 0;
};

bool waitPainted(ShapeDialog& dialog, PaintCounter& paints, Stall& stall)
{
    QElapsedTimer limit;
    limit.start();
    QElapsedTimer since;
    since.start();
    double cpuBefore = threadCpuMs();
    int paintsAtShown = -1;
    const QMetaObject::Connection shown =
        QObject::connect(&dialog, &CurveSourceDialog::curveShown,
                         [&] { paintsAtShown = dialog.computing() ? -1 : paints.count; });
    bool painted = false;
    stall = {};
    while (!painted && limit.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double cpu = threadCpuMs();
        if (ms(since) > stall.wall) stall = {ms(since), cpu - cpuBefore};
        since.restart();
        cpuBefore = cpu;
        painted = paintsAtShown >= 0 && paints.count > paintsAtShown;
    }
    QObject::disconnect(shown);
    return painted;
}

// From a changed dimension to the preview painted with the curve for it, and the longest the
// window's event loop waited meanwhile, for every shape with 100 points and with the fewest
// points within 1 unit.
int measureShapeDialog(int runs)
{
    ShapeDialog dialog(true, nullptr);
    dialog.show();
    while (!dialog.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    PaintCounter paints;
    dialog.findChild<QChartView*>()->viewport()->installEventFilter(&paints);
    auto* kind = dialog.findChild<QComboBox*>(QStringLiteral("shapeKind"));
    auto* end = dialog.findChild<QComboBox*>(QStringLiteral("shapeEnd"));
    Stats allStalls;
    Stats allStallCpu;
    for (const DialogShape& shape : dialogShapes()) {
        chooseData(kind, tankKindName(shape.kind));
        chooseData(end, tankEndName(shape.end));
        dialog.findChild<QDoubleSpinBox*>(QStringLiteral("endDepth"))
            ->setValue(shape.end == TankEnd::Cone ? 500 : 0);
        auto* dimension = dialog.findChild<QDoubleSpinBox*>(
            shape.kind == TankKind::Box ? QStringLiteral("length") : QStringLiteral("diameter"));
        const double base = dimension->value();
        for (const bool byError : {false, true}) {
            const QString mode = byError ? QStringLiteral("byError") : QStringLiteral("byCount");
            dialog.findChild<QRadioButton*>(mode)->setChecked(true);
            while (dialog.computing())
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            Stats painted;
            Stats stalls;
            Stats stallCpu;
            for (int run = 0; run < runs; ++run) {
                QElapsedTimer clock;
                clock.start();
                dimension->setValue(dimension->value() == base ? base + 1 : base);
                Stall stall;
                if (!waitPainted(dialog, paints, stall)) {
                    std::fprintf(stderr, "bench_editor: the preview was not painted\n");
                    return 1;
                }
                painted.add(ms(clock));
                stalls.add(stall.wall);
                stallCpu.add(stall.cpu);
                allStalls.add(stall.wall);
                allStallCpu.add(stall.cpu);
                if (!dialog.fit().ok()) {
                    std::fprintf(stderr, "bench_editor: %s: %s\n", qPrintable(dialog.sourceText()),
                                 qPrintable(dialog.fit().refusal));
                    return 1;
                }
            }
            QString name = tankShapeText(dialog.shape()).section(u',', 0, 0);
            if (shape.kind == TankKind::VerticalCylinder ||
                shape.kind == TankKind::HorizontalCylinder)
                name += QLatin1Char(' ') + tankEndName(shape.end);
            std::printf("shape dialog, %-33s %-13s change to preview painted median %7.2f ms "
                        "max %7.2f ms; longest without events %6.2f ms, of it the window's "
                        "own work at most %5.2f ms (%d points)\n",
                        qPrintable(name + ','), byError ? "within 1 unit" : "100 points",
                        painted.median(), painted.max(), stalls.max(), stallCpu.max(),
                        int(dialog.fit().points.size()));
        }
    }
    const double longest = allStalls.max();
    std::printf("shape dialog, every shape: longest the window waited without events median "
                "%.2f ms max %.2f ms over %zu (the window's own work in a wait at most %.2f ms); "
                "target < %.0f ms: %s\n",
                allStalls.median(), longest, allStalls.values.size(), allStallCpu.max(),
                kShapeTargetMs, longest < kShapeTargetMs ? "met" : "NOT met");
    return 0;
}

int measure(int runs)
{
    if (!writeFullImage()) return 1;
    auto link = idleLink();
    bench::QuietDialogs dialogs("bench_editor");
    Stats listFilled, tankShown, keyRepainted;
    PaintCounter paints;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        auto editor = std::make_unique<EditorWindow>(*link, dialogs, true);
        editor->loadTankTable();
        auto* list = editor->findChild<QListWidget*>(QStringLiteral("List1"));
        // Painted once the window system shows it.
        while (!editor->windowHandle()->isExposed())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        editor->repaint();
        listFilled.add(ms(clock));
        if (list->count() != kTanks) {
            std::fprintf(stderr, "bench_editor: the list holds %d tanks\n", list->count());
            return 1;
        }

        auto* grid = editor->findChild<CurveGrid*>(QStringLiteral("Grid1"));
        grid->viewport()->installEventFilter(&paints);
        list->setCurrentRow(kTanks - 1);
        clock.restart();
        editor->showTankCurve();
        grid->viewport()->repaint();
        tankShown.add(ms(clock));
        paints.count = 0;
        if (editor->pointCount() != kLargeTank) {
            std::fprintf(stderr, "bench_editor: %d points shown\n", editor->pointCount());
            return 1;
        }

        // A digit and a backspace in turn on an emptied VALUE cell, each repainted.
        grid->setCurrentCell({50, CurveTable::kValueColumn});
        for (int k = 0; k < 4; ++k) {
            QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier,
                                QStringLiteral("\b"));
            QApplication::sendEvent(grid, &backspace);
        }
        for (int k = 0; k < 20; ++k) {
            const bool digit = k % 2 == 0;
            QKeyEvent key(QEvent::KeyPress, digit ? Qt::Key_7 : Qt::Key_Backspace, Qt::NoModifier,
                          digit ? QStringLiteral("7") : QStringLiteral("\b"));
            clock.restart();
            QApplication::sendEvent(grid, &key);
            grid->viewport()->repaint();
            keyRepainted.add(ms(clock));
        }
        if (!grid->table().value(50).isEmpty() || paints.count < 20) {
            std::fprintf(stderr, "bench_editor: %d repaints of the grid for 20 keys\n",
                         paints.count);
            return 1;
        }
    }
    report("editor opened to 164 tanks listed and painted", listFilled, kListTargetMs);
    report("double-click action to 100-point tank painted", tankShown, kTankTargetMs);
    report("key event on Grid1 to the cell repainted", keyRepainted, kKeyTargetMs);
    return measureShapeDialog(runs);
}

int screenshot(const QString& file)
{
    QFile sample(QStringLiteral(KALDOR_SOURCE_DIR "/samples/three-tanks.idr"));
    if (!sample.copy(workingFilePath())) return 1;
    auto link = idleLink();
    bench::QuietDialogs dialogs("bench_editor");
    EditorWindow editor(*link, dialogs, true);
    editor.loadTankTable();
    editor.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(0);
    editor.showTankCurve();
    editor.resize(editor.sizeHint());
    QApplication::processEvents();
    return editor.grab().save(file) ? 0 : 1;
}

int shapeScreenshot(const QString& dialogFile, const QString& graphFile)
{
    ShapeDialog dialog(true, nullptr);
    dialog.findChild<QRadioButton*>(QStringLiteral("byError"))->setChecked(true);
    const CurveFit fit = dialog.fit();
    if (!dialogFile.isEmpty()) {
        dialog.show();
        dialog.resize(dialog.sizeHint());
        QApplication::processEvents();
        if (!dialog.grab().save(dialogFile)) return 1;
    }
    if (!graphFile.isEmpty()) {
        QList<QPointF> points;
        for (const LevelPoint& p : fit.points)
            points.append({p.percent(), double(p.value)});
        GraphWindow graph;
        graph.showCurve(points, fit.truth);
        QApplication::processEvents();
        if (!graph.grab().save(graphFile)) return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::offscreenWithoutDisplay();
    QApplication app(argc, argv);
    int runs = 21;
    QString shot;
    QString shapeShot;
    QString graphShot;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--screenshot") && i + 1 < args.size())
            shot = QFileInfo(args[++i]).absoluteFilePath();
        else if (args[i] == QLatin1String("--shape-screenshot") && i + 1 < args.size())
            shapeShot = QFileInfo(args[++i]).absoluteFilePath();
        else if (args[i] == QLatin1String("--graph-screenshot") && i + 1 < args.size())
            graphShot = QFileInfo(args[++i]).absoluteFilePath();
        else {
            std::fprintf(stderr, "usage: bench_editor [--runs N] [--screenshot FILE.png] "
                                 "[--shape-screenshot FILE.png] [--graph-screenshot FILE.png]\n");
            return 2;
        }
    }
    // The working file lives in the current directory: a scratch one.
    QTemporaryDir directory;
    if (!directory.isValid() || !QDir::setCurrent(directory.path())) return 1;
    if (!shapeShot.isEmpty() || !graphShot.isEmpty()) return shapeScreenshot(shapeShot, graphShot);
    return shot.isEmpty() ? measure(runs) : screenshot(shot);
}
