// Building a full image: 164 tank files of 35 points each read from disk and laid out.
// Prints the median of repeated builds.

#include "bench/support/stats.h"
#include "construct/indicatorbuilder.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace kaldor;

int main()
{
    constexpr int kTanks = 164;
    constexpr int kPoints = 35;
    constexpr int kRuns = 51;
    QTemporaryDir dir;
    QStringList names;
    for (int t = 0; t < kTanks; ++t) {
        QByteArray text = QByteArray::number(t % 255 + 1) + "\r\n 3400 \r\n 0 \r\n " +
                          QByteArray::number(kPoints) + " \r\n";
        for (int k = 0; k < kPoints; ++k) {
            const double fraction = double(k) / (kPoints - 1);
            text += QByteArray::number(int(fraction * 3400)) + ", " +
                    QByteArray::number(fraction * 99.99, 'f', 2) + ",";
        }
        const QString name = QStringLiteral("tank%1.tnk").arg(t);
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return 1;
        names.append(name);
    }
    std::vector<double> ms;
    BuildState state;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const BuildResult r = buildIndicatorImage(names, QDir(dir.path()), true, state);
        const auto end = std::chrono::steady_clock::now();
        if (!r.ok) {
            std::fprintf(stderr, "build failed: %s\n", qPrintable(r.messages.value(0).text));
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("build %d tank files (%d points each, image %d bytes): median %.3f ms, "
                "min %.3f ms, max %.3f ms over %d runs\n",
                kTanks, kPoints, state.totalLength, bench::median(ms), ms.front(), ms.back(),
                kRuns);
    return 0;
}
