// The construction window opened on a directory of 2000 tank files: the time from creating the
// window to its file list painted with every name. Prints the median, the fastest and the
// slowest of repeated openings, and the first opening on its own.

#include "bench/support/benchdialogs.h"
#include "bench/support/stats.h"
#include "construct/constructionwindow.h"
#include "link/link.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kaldor;

namespace {

constexpr int kFiles = 2000;
constexpr int kRuns = 21;

// Tells when the file list's viewport has been painted.
class PaintSpy : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    bench::offscreenWithoutDisplay();
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QByteArray text = "7\r\n 1000 \r\n 0 \r\n 2 \r\n0, 0,1000, 99.99,";
    for (int i = 0; i < kFiles; ++i) {
        QFile f(dir.filePath(QStringLiteral("tank%1.tnk").arg(i, 4, 10, QLatin1Char('0'))));
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return 1;
    }
    if (!QDir::setCurrent(dir.path())) return 1;

    Link link([](const PortSpec&) { return std::unique_ptr<SerialPort>(); });
    bench::QuietDialogs dialogs("bench_constructionwindow");
    std::vector<double> ms;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto window = std::make_unique<ConstructionWindow>(link, dialogs, true);
        auto* files = window->findChild<QListWidget*>(QStringLiteral("File1"));
        PaintSpy spy;
        files->viewport()->installEventFilter(&spy);
        window->show();
        while (!(spy.painted && files->count() == kFiles) && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (files->count() != kFiles) {
            std::fprintf(stderr, "the file list shows %d of %d files\n", int(files->count()),
                         kFiles);
            return 1;
        }
        window.reset();
        QCoreApplication::processEvents();
    }
    const double first = ms.front();
    std::sort(ms.begin(), ms.end());
    std::printf("construction window, %d tank files: file list shown in %.1f ms median (first "
                "opening %.1f, fastest %.1f, slowest %.1f, %d openings; target under 300 ms)\n",
                kFiles, bench::median(ms), first, ms.front(), ms.back(), kRuns);
    return 0;
}
