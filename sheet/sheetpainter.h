#pragma once
// The calibration sheet's page: the tank, its mode, full scale and offset, the source of the
// curve, the date, the largest interpolation error when known, the chart, the point table and
// the lines the technician signs on. Drawn with QPainter as text and lines, so the words of a
// PDF stay searchable.

#include "sheet/calibrationsheet.h"
#include "store/atomicfile.h"

#include <QList>

class QPagedPaintDevice;

namespace kaldor {

inline const QString kSheetTitle = QStringLiteral("Calibration Sheet");

// One page per sheet on device (a QPdfWriter or a QPrinter), from its current page on.
void paintCalibrationSheets(QPagedPaintDevice& device, const QList<CalibrationSheet>& sheets);

// The sheets as an A4 PDF, written atomically.
FileWriteResult writeCalibrationSheetPdf(const QString& path,
                                         const QList<CalibrationSheet>& sheets);

} // namespace kaldor
