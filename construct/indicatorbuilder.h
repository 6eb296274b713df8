#pragma once
// Builds a whole indicator image from tank files, in list order: the constant header, the
// summary bytes, the directory and one record per tank, placed by the page rule.

#include "store/indicatorimage.h"
#include "store/messages.h"
#include "store/tankfile.h"

#include <QDir>
#include <QList>
#include <QStringList>
#include <optional>

namespace kaldor {

// One tank as a tank file gives it to the build.
struct TankSource {
    QString fileName;
    int tankNumber = 0;
    int fullScale = 0;
    int offset = 0; // 0 in the not-offset-capable layout
    QList<TankPointTexts> points;
};

// What the construction window keeps between builds. The image is not cleared by a build:
// positions a build does not write keep what an earlier build left there.
struct BuildState {
    IndicatorImage image;
    int totalLength = 0;
    bool built = false;
};

struct TankSourceResult {
    bool ok = false;
    TankSource source;
    QString error; // names the file and what is wrong with it
};

// Reads a tank file through checkTankFile, the rules every reader of tank files holds it to,
// and takes what the build needs from it: the tank number, the file's full scale and offset,
// and the checked curve's points in percentage order. A refusal names the file.
TankSourceResult readTankSource(const QString& path, bool offsetMode);

struct BuildResult {
    bool ok = false;
    Messages messages;
};

// Builds from the files (plain names are resolved against directory) into state. Refusals leave
// state exactly as it was; the image is built in a copy and kept only when the whole build
// succeeded.
BuildResult buildIndicatorImage(const QStringList& fileNames, const QDir& directory,
                                bool offsetMode, BuildState& state);

// The refusal of an output that is one of the tank files the image is built from (the same
// file by sameFile, so a link, a hard link or ".." cannot make "a.idr.tnk" overwrite its own
// source); nullopt when it is none of them.
std::optional<QString> outputAmongSources(const QString& output, const QStringList& fileNames,
                                          const QDir& directory);

// The same from tank sources already read.
BuildResult buildFromSources(const QList<TankSource>& tanks, bool offsetMode, BuildState& state);

} // namespace kaldor
