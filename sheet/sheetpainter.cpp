#include "sheet/sheetpainter.h"

#include "store/textrules.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace kaldor {

namespace {

constexpr double kMarginMm = 15.0;
constexpr int kPdfResolution = 300;
constexpr int kTableRowsPerColumn = 25; // 100 points in four columns of pairs
constexpr int kTableColumns = 4;
constexpr double kChartHeightMm = 75.0;
constexpr double kFullPercentAxis = 100.0;
constexpr int kPercentTicks = 10;
constexpr int kValueTicks = 5;
constexpr double kLetterSpacing = 0.1; // device pixels: under a hundredth of a millimetre

struct PlotPoint {
    double percent = 0.0;
    double value = 0.0;
};

QList<PlotPoint> plotPoints(const CalibrationSheet& sheet)
{
    QList<PlotPoint> points;
    for (const CellRow& row : sheet.points) {
        if (!row.value.trimmed().isEmpty()) points.append({val(row.percent), val(row.value)});
    }
    return points;
}

QString errorLine(const CalibrationSheet& sheet)
{
    const SheetError& e = *sheet.largestError;
    QString text = QStringLiteral("Largest interpolation error: %1 units").arg(e.units, 0, 'f', 2);
    if (sheet.fullScale != 0)
        text += QStringLiteral(" (%1 % of full scale)")
                    .arg(100.0 * e.units / sheet.fullScale, 0, 'f', 3);
    if (e.atPercent) text += QStringLiteral(" at %1 %").arg(*e.atPercent, 0, 'f', 2);
    return text;
}

// Draws on one page; lengths in millimetres through mm().
class PagePainter {
public:
    PagePainter(QPainter& painter, const QPagedPaintDevice& device)
        : m_p(painter), m_pxPerMm(device.logicalDpiY() / 25.4), m_width(device.width())
    {
    }

    void paint(const CalibrationSheet& sheet)
    {
        double y = 0.0;
        const QString tank =
            sheet.tankNumber ? QString::number(*sheet.tankNumber) : QStringLiteral("not given");
        setFont(16, true);
        m_p.drawText(QPointF(0, mm(7)), kSheetTitle + QStringLiteral(" \u2013 Tank ") + tank);
        setFont(10, false);
        const QString date = QStringLiteral("Date: ") + sheet.date.toString(Qt::ISODate);
        m_p.drawText(QRectF(0, 0, m_width, mm(7)), Qt::AlignRight | Qt::AlignBottom, date);
        y = 14;
        QStringList lines{
            QStringLiteral("Tank: ") + tank,
            QStringLiteral("Mode: ") + (sheet.offsetMode ? QStringLiteral("offset capable")
                                                         : QStringLiteral("not offset capable")),
            QStringLiteral("Full scale: %1    Offset: %2").arg(sheet.fullScale).arg(sheet.offset),
            QStringLiteral("Source: ") +
                (sheet.source.isEmpty() ? QStringLiteral("not recorded") : sheet.source),
            QStringLiteral("Points: %1").arg(sheet.points.size()),
        };
        if (sheet.largestError) lines.append(errorLine(sheet));
        for (const QString& line : lines) {
            m_p.drawText(QPointF(0, mm(y)), line);
            y += 5.5;
        }
        y += 2;
        drawChart(plotPoints(sheet), QRectF(mm(14), mm(y), m_width - mm(18), mm(kChartHeightMm)));
        y += kChartHeightMm + 12;
        drawTable(sheet, y);
        drawSignature(mm(y + kTableRowsPerColumn * 4.2 + 12));
    }

private:
    double mm(double v) const { return v * m_pxPerMm; }

    void setFont(double points, bool bold)
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(points);
        font.setBold(bold);
        // Letter spacing keeps the shaper from joining "ff" or "fi" into one glyph, so the words
        // of the PDF read and search as they are written.
        font.setLetterSpacing(QFont::AbsoluteSpacing, kLetterSpacing);
        m_p.setFont(font);
    }

    void setPen(double widthMm, Qt::PenStyle style = Qt::SolidLine, QColor color = Qt::black)
    {
        m_p.setPen(QPen(color, mm(widthMm), style));
    }

    void drawChart(const QList<PlotPoint>& points, const QRectF& area)
    {
        double low = 0.0;
        double high = 1.0;
        if (!points.isEmpty()) {
            const auto [lo, hi] = std::minmax_element(
                points.begin(), points.end(),
                [](const PlotPoint& a, const PlotPoint& b) { return a.value < b.value; });
            low = std::min(0.0, lo->value);
            high = std::max(hi->value, low + 1.0);
        }
        const auto at = [&](double percent, double value) {
            return QPointF(area.left() + area.width() * percent / kFullPercentAxis,
                           area.bottom() - area.height() * (value - low) / (high - low));
        };
        setFont(7, false);
        for (int i = 0; i <= kPercentTicks; ++i) {
            const double percent = kFullPercentAxis * i / kPercentTicks;
            setPen(0.1, Qt::DotLine, Qt::gray);
            m_p.drawLine(at(percent, low), at(percent, high));
            m_p.setPen(Qt::black);
            m_p.drawText(QRectF(at(percent, low).x() - mm(6), area.bottom() + mm(1), mm(12), mm(4)),
                         Qt::AlignHCenter | Qt::AlignTop, QString::number(percent));
        }
        for (int i = 0; i <= kValueTicks; ++i) {
            const double value = low + (high - low) * i / kValueTicks;
            setPen(0.1, Qt::DotLine, Qt::gray);
            m_p.drawLine(at(0, value), at(kFullPercentAxis, value));
            m_p.setPen(Qt::black);
            m_p.drawText(QRectF(area.left() - mm(14), at(0, value).y() - mm(2), mm(13), mm(4)),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(std::lround(value)));
        }
        m_p.drawText(QRectF(area.left(), area.bottom() + mm(5), area.width(), mm(4)),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Level %"));
        setPen(0.25);
        m_p.drawRect(area);
        if (points.isEmpty()) return;
        QPainterPath path(at(points.first().percent, points.first().value));
        for (const PlotPoint& point : points)
            path.lineTo(at(point.percent, point.value));
        setPen(0.35, Qt::SolidLine, Qt::darkBlue);
        m_p.drawPath(path);
        m_p.setBrush(Qt::darkBlue);
        for (const PlotPoint& point : points)
            m_p.drawEllipse(at(point.percent, point.value), mm(0.6), mm(0.6));
        m_p.setBrush(Qt::NoBrush);
    }

    void drawTable(const CalibrationSheet& sheet, double top)
    {
        const double columnWidth = m_width / kTableColumns;
        const double rowMm = 4.2;
        for (int c = 0; c < kTableColumns; ++c) {
            const double x = c * columnWidth;
            m_p.setPen(Qt::black);
            setFont(8, true);
            drawCells(x, top, columnWidth,
                      {QStringLiteral("Pt."), QStringLiteral("VALUE"), QStringLiteral("%")});
            setPen(0.2);
            m_p.drawLine(QPointF(x, mm(top + 1)), QPointF(x + columnWidth - mm(4), mm(top + 1)));
            setFont(8, false);
            for (int r = 0; r < kTableRowsPerColumn; ++r) {
                const int k = c * kTableRowsPerColumn + r;
                if (k >= sheet.points.size()) return;
                const CellRow& row = sheet.points[k];
                drawCells(x, top + (r + 1) * rowMm, columnWidth,
                          {QString::number(k + 1), row.value.trimmed(), row.percent.trimmed()});
            }
        }
    }

    // Three right-aligned cells whose baseline lies at topMm.
    void drawCells(double x, double topMm, double width, const QStringList& texts)
    {
        const double cell = (width - mm(4)) / 3;
        for (int i = 0; i < texts.size(); ++i)
            m_p.drawText(QRectF(x + i * cell, mm(topMm - 4), cell - mm(2), mm(4)),
                         Qt::AlignRight | Qt::AlignBottom, texts[i]);
    }

    void drawSignature(double y)
    {
        setFont(10, false);
        const double third = m_width / 3;
        const QStringList labels{QStringLiteral("Technician"), QStringLiteral("Signature"),
                                 QStringLiteral("Date")};
        setPen(0.2);
        for (int i = 0; i < labels.size(); ++i) {
            const double x = i * third;
            m_p.drawLine(QPointF(x, y), QPointF(x + third - mm(8), y));
            m_p.drawText(QPointF(x, y + mm(5)), labels[i]);
        }
    }

    QPainter& m_p;
    const double m_pxPerMm;
    const double m_width;
};

} // namespace

void paintCalibrationSheets(QPagedPaintDevice& device, const QList<CalibrationSheet>& sheets)
{
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        if (i > 0) device.newPage();
        PagePainter(painter, device).paint(sheets[i]);
    }
}

FileWriteResult writeCalibrationSheetPdf(const QString& path, const QList<CalibrationSheet>& sheets)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kPdfResolution);
        pdf.setTitle(kSheetTitle);
        pdf.setCreator(QStringLiteral("KALDOR"));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                      QPageLayout::Millimeter));
        paintCalibrationSheets(pdf, sheets);
    }
    return writeFileAtomically(path, buffer.data());
}

} // namespace kaldor
