// The data viewer on the largest indicator files that can be built: 164 tanks of as many
// points as fit, and as many 100-point tanks as fit. Each file is opened from the management
// window as the user opens it (the file checked, the viewer shown, the file read and decoded,
// the list filled and painted), then its last tank is shown (grid filled and painted). Prints
// the medians beside their targets; decides nothing. Runs on the offscreen platform unless one
// is set.
//
//   bench_viewer [--runs N]
//   bench_viewer --screenshots DIR FILE.idr   management-window.png and viewer-window.png of
//                                             FILE's first tank into DIR, and compare-window.png
//                                             of FILE against a meter that holds it changed
//                                             (its first tank altered, its last renumbered 9)

#include "bench/support/benchdialogs.h"
#include "bench/support/stats.h"
#include "construct/indicatorbuilder.h"
#include "link/link.h"
#include "sim/simulatedport.h"
#include "store/indicatorfile.h"
#include "store/managementwindow.h"
#include "viewer/comparewindow.h"
#include "viewer/viewerwindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace kaldor;

namespace {

constexpr double kListTargetMs = 150;
constexpr double kTankTargetMs = 30;
constexpr int kMaxTanks = 255;

TankSource tank(int number, int points)
{
    TankSource s;
    s.tankNumber = number % kMaxTanks + 1;
    s.fullScale = 30000;
    s.offset = 0;
    for (int k = 0; k < points; ++k) {
        const double fraction = double(k) / (points - 1);
        s.points.append({QString::number(int(fraction * 30000)),
                         k == points - 1 ? QStringLiteral("99.99")
                                         : QString::number(fraction * 99.99, 'f', 2)});
    }
    return s;
}

std::optional<BuildState> build(int tanks, int points)
{
    QList<TankSource> sources;
    for (int t = 0; t < tanks; ++t)
        sources.append(tank(t, points));
    BuildState state;
    if (!buildFromSources(sources, true, state).ok) return std::nullopt;
    return state;
}

using bench::median;

// The meter's image for the compare picture: FILE with a VALUE and a percentage of its first
// tank altered and its last tank's number made 9.
IndicatorImage changedForCompare(const QString& file)
{
    IndicatorImage image = loadIndicatorFile(file).image;
    const int start =
        image.at(layout::kDirectoryStart + 1) * 256 + image.at(layout::kDirectoryStart + 2);
    image.set(start + 11, image.at(start + 11) ^ 0x28); // point 2's VALUE word, low byte
    image.set(start + 13, image.at(start + 13) ^ 0xc0); // point 3's percent word, low byte
    const int last = layout::kDirectoryStart +
                     layout::kDirectoryEntrySize * (image.at(layout::kTankCountAddress) - 1);
    image.set(last, 9);
    return image;
}

// The windows as the user sees them after choosing FILE and viewing its first tank, and the
// compare of FILE with the meter, its first tank picked.
int screenshots(const QString& directory, const QString& file, Link& link)
{
    bench::QuietDialogs dialogs("bench_viewer");
    ManagementWindow files(link, dialogs, true);
    files.show();
    files.openFile(file);
    ViewerWindow* viewer = files.findChild<ViewerWindow*>();
    if (!viewer || !dialogs.messages.isEmpty()) return 1;
    viewer->findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(0);
    viewer->findChild<QAction*>(QStringLiteral("aview"))->trigger();
    viewer->resize(viewer->sizeHint());
    QApplication::processEvents();
    const bool viewerSaved =
        viewer->grab().save(QDir(directory).filePath(QStringLiteral("viewer-window.png")));

    link.openPort(nullptr, PortSpec{}, {});
    QElapsedTimer clock;
    clock.start();
    while (link.isBusy() && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    viewer->findChild<QAction*>(QStringLiteral("compareMeter"))->trigger();
    CompareWindow* compare = nullptr;
    while (!(compare = viewer->findChild<CompareWindow*>()) && clock.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!compare || !dialogs.messages.isEmpty()) return 1;
    compare->showTank(0);
    QApplication::processEvents();
    const bool compareSaved =
        compare->grab().save(QDir(directory).filePath(QStringLiteral("compare-window.png")));
    compare->close();

    viewer->close();
    QApplication::processEvents();
    const bool filesSaved =
        files.grab().save(QDir(directory).filePath(QStringLiteral("management-window.png")));
    return viewerSaved && compareSaved && filesSaved ? 0 : 1;
}

double msSince(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

int measure(const char* what, const QString& path, int tanks, int points, int runs, Link& link)
{
    bench::QuietDialogs dialogs("bench_viewer");
    std::vector<double> listMs, tankMs;
    for (int run = 0; run < runs; ++run) {
        ManagementWindow files(link, dialogs, true);
        files.show();
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        ViewerWindow* viewer = files.openFile(path);
        if (!viewer) {
            std::fprintf(stderr, "bench_viewer: the viewer did not open %s: %s\n", qPrintable(path),
                         qPrintable(dialogs.messages.join(QStringLiteral("; "))));
            return 1;
        }
        viewer->repaint();
        listMs.push_back(msSince(clock));
        auto* list = viewer->findChild<QListWidget*>(QStringLiteral("List1"));
        if (list->count() != tanks || !dialogs.messages.isEmpty()) {
            std::fprintf(stderr, "bench_viewer: %d tanks listed of %d\n", int(list->count()),
                         tanks);
            return 1;
        }
        list->setCurrentRow(list->count() - 1);
        QApplication::processEvents();
        clock.restart();
        viewer->findChild<QAction*>(QStringLiteral("aview"))->trigger();
        viewer->findChild<QTableView*>(QStringLiteral("Grid1"))->repaint();
        tankMs.push_back(msSince(clock));
        viewer->close();
        QApplication::processEvents();
    }
    const double list = median(listMs);
    const double shown = median(tankMs);
    std::printf("%s: %d tanks of %d points, file %lld bytes\n"
                "  open to list shown: median %.2f ms (min %.2f, max %.2f) over %d runs; target < "
                "%.0f ms: %s\n"
                "  tank shown: median %.2f ms (min %.2f, max %.2f); target < %.0f ms: %s\n",
                what, tanks, points, static_cast<long long>(QFileInfo(path).size()), list,
                *std::min_element(listMs.begin(), listMs.end()),
                *std::max_element(listMs.begin(), listMs.end()), runs, kListTargetMs,
                list < kListTargetMs ? "met" : "NOT met", shown,
                *std::min_element(tankMs.begin(), tankMs.end()),
                *std::max_element(tankMs.begin(), tankMs.end()), kTankTargetMs,
                shown < kTankTargetMs ? "met" : "NOT met");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::offscreenWithoutDisplay();
    QApplication app(argc, argv);
    int runs = 21;
    const QStringList args = QApplication::arguments();
    QString shotsDir, shotsFile;
    if (args.size() == 3 && args[1] == QLatin1String("--runs"))
        runs = std::max(1, args[2].toInt());
    else if (args.size() == 4 && args[1] == QLatin1String("--screenshots")) {
        shotsDir = QFileInfo(args[2]).absoluteFilePath();
        shotsFile = QFileInfo(args[3]).absoluteFilePath();
    } else if (args.size() != 1) {
        std::fprintf(stderr, "usage: bench_viewer [--runs N] | --screenshots DIR FILE.idr\n");
        return 2;
    }

    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path())) return 1;
    // No exchange runs: the viewer only needs a link to exist.
    auto meter = std::make_shared<SimulatedMeter>(IndicatorImage{});
    Link link([meter](const PortSpec&) { return std::make_unique<SimulatedPort>(meter); });
    if (!shotsDir.isEmpty()) {
        meter->setImage(changedForCompare(shotsFile));
        return screenshots(shotsDir, shotsFile, link);
    }

    // 164 tanks of as many points as fit; as many 100-point tanks as fit.
    int points = 100;
    std::optional<BuildState> many;
    for (; points >= 2 && !(many = build(164, points)); --points) {
    }
    int tanks = 1;
    std::optional<BuildState> full = build(1, 100);
    for (std::optional<BuildState> next; tanks < kMaxTanks && (next = build(tanks + 1, 100));
         ++tanks)
        full = next;
    if (!many || !full) {
        std::fprintf(stderr, "bench_viewer: the images could not be built\n");
        return 1;
    }
    const QString manyPath = dir.filePath(QStringLiteral("many.idr"));
    const QString fullPath = dir.filePath(QStringLiteral("full.idr"));
    if (!writeConstructedFile(manyPath, many->image, many->totalLength).ok ||
        !writeConstructedFile(fullPath, full->image, full->totalLength).ok)
        return 1;
    std::printf("platform %s\n", qPrintable(QApplication::platformName()));
    if (const int status = measure("164 tanks", manyPath, 164, points, runs, link)) return status;
    return measure("100-point tanks", fullPath, tanks, 100, runs, link);
}
