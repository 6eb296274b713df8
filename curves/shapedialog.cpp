#include "curves/shapedialog.h"

#include "curves/curvesource.h"
#include "store/textrules.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kaldor {

namespace {

// Room around the shape for its measures and the level labels, in pixels.
constexpr int kLeft = 64;
constexpr int kRight = 110;
constexpr int kTop = 30;
constexpr int kBottom = 40;
constexpr qreal kGap = 12;        // from an edge to its measure
constexpr qreal kTick = 4;        // half the length of a measure's end marks
constexpr double kOblique = 0.35; // a box's width drawn receding at 45 degrees, shortened

// Kind and end names for people: "horizontal cylinder", "torispherical".
QString words(const QString& name)
{
    QString text = name;
    text.replace(QLatin1Char('-'), QLatin1Char(' '));
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text;
}

QComboBox* namesBox(QWidget* parent, const char* name, const QStringList& names, bool asWords)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (const QString& n : names)
        box->addItem(asWords ? words(n) : n, n);
    return box;
}

void selectName(QComboBox* box, const QString& name)
{
    box->setCurrentIndex(std::max(0, box->findData(name)));
}

// A measure from a to b with its end marks and its text beside its middle.
void measure(QPainter& p, QPointF a, QPointF b, const QString& text, Qt::Alignment side)
{
    p.drawLine(a, b);
    const QPointF along = b - a;
    const qreal len = std::hypot(along.x(), along.y());
    if (len <= 0) return;
    const QPointF across(-along.y() / len * kTick, along.x() / len * kTick);
    p.drawLine(a - across, a + across);
    p.drawLine(b - across, b + across);
    const QPointF mid = (a + b) / 2;
    const QFontMetricsF fm(p.font());
    const QSizeF size(fm.horizontalAdvance(text) + 2, fm.height());
    QRectF box(QPointF(), size);
    if (side & Qt::AlignRight)
        box.moveTopLeft(mid + QPointF(kTick + 2, -size.height() / 2));
    else if (side & Qt::AlignLeft)
        box.moveTopRight(mid + QPointF(-kTick - 2, -size.height() / 2));
    else if (side & Qt::AlignTop)
        box.moveBottomLeft(mid + QPointF(-size.width() / 2, -kTick));
    else
        box.moveTopLeft(mid + QPointF(-size.width() / 2, kTick));
    p.drawText(box, Qt::AlignCenter, text);
}

} // namespace

ShapeDrawing::ShapeDrawing(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("shapeDrawing"));
    setMinimumSize(260, 160);
}

QSize ShapeDrawing::sizeHint() const
{
    return {360, 220};
}

void ShapeDrawing::setShape(const TankShape& shape, const LevelRange& range)
{
    m_shape = shape;
    m_range = range;
    update();
}

void ShapeDrawing::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().base());
    p.setPen(palette().text().color());
    const TankShape& s = m_shape;
    if (!tankShapeRefusal(s).isEmpty()) {
        p.drawText(rect(), Qt::AlignCenter, words(tankKindName(s.kind)));
        return;
    }
    const auto len = [&](double v) {
        return plainNumber(v, 5) + QLatin1Char(' ') + lengthUnitName(s.unit);
    };
    const double d = tankEndDepth(s);
    const double r = s.diameter / 2;
    const double ob = s.kind == TankKind::Box ? s.width * kOblique / std::sqrt(2.0) : 0;
    double w = 0;
    double h = 0;
    switch (s.kind) {
    case TankKind::HorizontalCylinder:
        w = s.length + 2 * d;
        h = s.diameter;
        break;
    case TankKind::VerticalCylinder:
        w = s.diameter;
        h = s.height + d;
        break;
    case TankKind::Sphere:
        w = h = s.diameter;
        break;
    case TankKind::Box:
        w = s.length + ob;
        h = s.height + ob;
        break;
    }
    const double k = std::min((width() - kLeft - kRight) / w, (height() - kTop - kBottom) / h);
    if (!(k > 0) || !std::isfinite(k)) return;
    const auto at = [&](double x, double y) {
        return QPointF(kLeft + x * k, height() - kBottom - y * k);
    };
    const auto ellipse = [&](double cx, double cy, double rx, double ry) {
        return QRectF(at(cx - rx, cy + ry), at(cx + rx, cy - ry));
    };

    QPainterPath outline;
    QPen seam(palette().mid().color(), 1, Qt::DashLine);
    switch (s.kind) {
    case TankKind::HorizontalCylinder: {
        const double right = d + s.length;
        outline.moveTo(at(right, s.diameter));
        outline.lineTo(at(d, s.diameter));
        if (s.end == TankEnd::Cone) {
            outline.lineTo(at(0, r));
            outline.lineTo(at(d, 0));
        } else if (d > 0) {
            outline.arcTo(ellipse(d, r, d, r), 90, 180);
        } else {
            outline.lineTo(at(0, 0));
        }
        outline.lineTo(at(right, 0));
        if (s.end == TankEnd::Cone) {
            outline.lineTo(at(w, r));
            outline.lineTo(at(right, s.diameter));
        } else if (d > 0) {
            outline.arcTo(ellipse(right, r, d, r), 270, 180);
        }
        outline.closeSubpath();
        p.drawPath(outline);
        if (d > 0) {
            p.setPen(seam);
            p.drawLine(at(d, 0), at(d, s.diameter));
            p.drawLine(at(right, 0), at(right, s.diameter));
            p.setPen(palette().text().color());
            measure(p, at(right, s.diameter) - QPointF(0, kGap),
                    at(w, s.diameter) - QPointF(0, kGap), QStringLiteral("depth ") + len(d),
                    Qt::AlignTop);
        }
        measure(p, at(w, 0) + QPointF(kGap, 0), at(w, s.diameter) + QPointF(kGap, 0),
                QStringLiteral("D = ") + len(s.diameter), Qt::AlignRight);
        measure(p, at(d, 0) + QPointF(0, kGap), at(right, 0) + QPointF(0, kGap),
                QStringLiteral("L = ") + len(s.length), Qt::AlignBottom);
        break;
    }
    case TankKind::VerticalCylinder: {
        outline.moveTo(at(0, h));
        outline.lineTo(at(0, d));
        if (s.end == TankEnd::Cone)
            outline.lineTo(at(r, 0));
        else if (d > 0)
            outline.arcTo(ellipse(r, d, r, d), 180, 180);
        outline.lineTo(at(s.diameter, d));
        outline.lineTo(at(s.diameter, h));
        outline.closeSubpath();
        p.drawPath(outline);
        if (d > 0) {
            p.setPen(seam);
            p.drawLine(at(0, d), at(s.diameter, d));
            p.setPen(palette().text().color());
            measure(p, at(s.diameter, 0) + QPointF(kGap, 0), at(s.diameter, d) + QPointF(kGap, 0),
                    QStringLiteral("depth ") + len(d), Qt::AlignRight);
        }
        measure(p, at(s.diameter, d) + QPointF(kGap, 0), at(s.diameter, h) + QPointF(kGap, 0),
                QStringLiteral("H = ") + len(s.height), Qt::AlignRight);
        measure(p, at(0, 0) + QPointF(0, kGap), at(s.diameter, 0) + QPointF(0, kGap),
                QStringLiteral("D = ") + len(s.diameter), Qt::AlignBottom);
        break;
    }
    case TankKind::Sphere:
        p.drawEllipse(ellipse(r, r, r, r));
        measure(p, at(0, 0) + QPointF(0, kGap), at(s.diameter, 0) + QPointF(0, kGap),
                QStringLiteral("D = ") + len(s.diameter), Qt::AlignBottom);
        break;
    case TankKind::Box: {
        const double L = s.length;
        const double H = s.height;
        p.drawRect(QRectF(at(0, H), at(L, 0)));
        p.drawPolyline(
            QPolygonF{at(0, H), at(ob, H + ob), at(L + ob, H + ob), at(L + ob, ob), at(L, 0)});
        p.drawLine(at(L, H), at(L + ob, H + ob));
        measure(p, at(0, 0) + QPointF(0, kGap), at(L, 0) + QPointF(0, kGap),
                QStringLiteral("L = ") + len(L), Qt::AlignBottom);
        measure(p, at(L + ob, ob) + QPointF(kGap, 0), at(L + ob, H + ob) + QPointF(kGap, 0),
                QStringLiteral("H = ") + len(H), Qt::AlignRight);
        // The width's text sits past the back corner, clear of the edges.
        measure(p, at(L, H), at(L + ob, H + ob), {}, Qt::AlignRight);
        p.drawText(at(L + ob, H + ob) + QPointF(kTick + 2, -kTick - 2),
                   QStringLiteral("W = ") + len(s.width));
        break;
    }
    }

    // Where the percentage starts and ends.
    const double zero = m_range.zero.value_or(0);
    const double top = zero + m_range.span.value_or(tankHeight(s) - zero);
    const double across = s.kind == TankKind::Box ? s.length : w;
    p.setPen(QPen(Qt::blue, 1, Qt::DashLine));
    for (const auto& [level, text] :
         {std::pair{zero, QStringLiteral("0 %")}, std::pair{top, QStringLiteral("99.99 %")}}) {
        p.drawLine(at(0, level) - QPointF(kTick, 0), at(across, level));
        p.drawText(QRectF(0, at(0, level).y() - 10, kLeft - kTick - 2, 20),
                   Qt::AlignRight | Qt::AlignVCenter, text);
    }
}

ShapeDialog::ShapeDialog(bool offsetCapable, QWidget* parent)
    : CurveSourceDialog(offsetCapable, parent)
{
    setObjectName(QStringLiteral("shapedlg"));
    setWindowTitle(QStringLiteral("New from Tank Shape"));
    auto* source = new QGroupBox(QStringLiteral("Tank"), this);
    m_form = new QFormLayout;
    m_kind = namesBox(source, "shapeKind", tankKindNames(), true);
    m_end = namesBox(source, "shapeEnd", tankEndNames(), true);
    m_unit = namesBox(source, "lengthUnit", lengthUnitNames(), false);
    m_volumeUnit = namesBox(source, "volumeUnit", volumeUnitNames(), false);
    m_diameter = numberBox(source, "diameter", 0, 2000, 3);
    m_length = numberBox(source, "length", 0, 6000, 3);
    m_height = numberBox(source, "height", 0, 3000, 3);
    m_width = numberBox(source, "width", 0, 2000, 3);
    m_endDepth = numberBox(source, "endDepth", 0, 0, 3);
    m_crown = numberBox(source, "crownRadius", 0, 0, 3);
    m_crown->setSpecialValueText(QStringLiteral("D"));
    m_knuckle = numberBox(source, "knuckleRadius", 0, 0, 3);
    m_knuckle->setSpecialValueText(QStringLiteral("0.06 D"));
    m_form->addRow(QStringLiteral("&Shape:"), m_kind);
    m_form->addRow(QStringLiteral("Heads:"), m_end);
    m_form->addRow(QStringLiteral("&Unit:"), m_unit);
    m_form->addRow(QStringLiteral("&Diameter:"), m_diameter);
    m_form->addRow(QStringLiteral("Length:"), m_length);
    m_form->addRow(QStringLiteral("Height:"), m_height);
    m_form->addRow(QStringLiteral("&Width:"), m_width);
    m_form->addRow(QStringLiteral("Depth:"), m_endDepth);
    m_form->addRow(QStringLiteral("C&rown radius:"), m_crown);
    m_form->addRow(QStringLiteral("&Knuckle radius:"), m_knuckle);
    m_form->addRow(QStringLiteral("&Volume unit:"), m_volumeUnit);
    m_drawing = new ShapeDrawing(source);
    auto* row = new QHBoxLayout(source);
    row->addLayout(m_form);
    row->addWidget(m_drawing, 1);
    setUp(source);

    // The curve of the common flanged tank: 2000 x 6000 mm with 2:1 heads, in m3 x 100.
    selectName(m_kind, tankKindName(TankKind::HorizontalCylinder));
    selectName(m_end, tankEndName(TankEnd::Ellipsoidal));
    selectName(m_unit, lengthUnitName(LengthUnit::Millimetre));
    selectName(m_volumeUnit, volumeUnitName(VolumeUnit::CubicMetre));
    setScale(100);
    kindChanged();

    for (QComboBox* box : {m_kind, m_end})
        connect(box, &QComboBox::currentIndexChanged, this, &ShapeDialog::kindChanged);
    for (QComboBox* box : {m_kind, m_end, m_unit, m_volumeUnit})
        connect(box, &QComboBox::currentIndexChanged, this, &ShapeDialog::changed);
    for (QDoubleSpinBox* box :
         {m_diameter, m_length, m_height, m_width, m_endDepth, m_crown, m_knuckle})
        connect(box, &QDoubleSpinBox::valueChanged, this, &ShapeDialog::changed);
    connect(m_unit, &QComboBox::currentIndexChanged, this,
            [this] { setLevelUnit(m_unit->currentText()); });
    connect(this, &CurveSourceDialog::valuesChanged, this,
            [this] { m_drawing->setShape(shape(), levelRange()); });
    setLevelUnit(m_unit->currentText());
    m_drawing->setShape(shape(), levelRange());
    recompute();
}

void ShapeDialog::kindChanged()
{
    const TankShape s = shape();
    const bool vertical = s.kind == TankKind::VerticalCylinder;
    const bool cylinder = vertical || s.kind == TankKind::HorizontalCylinder;
    const bool box = s.kind == TankKind::Box;
    const auto label = [this](QWidget* field, const QString& text) {
        if (auto* l = qobject_cast<QLabel*>(m_form->labelForField(field))) l->setText(text);
    };
    m_form->setRowVisible(m_end, cylinder);
    label(m_end, vertical ? QStringLiteral("&Bottom:") : QStringLiteral("&Heads:"));
    m_form->setRowVisible(m_diameter, !box);
    m_form->setRowVisible(m_length, s.kind == TankKind::HorizontalCylinder || box);
    label(m_length, box ? QStringLiteral("&Length:") : QStringLiteral("Straight &length:"));
    m_form->setRowVisible(m_height, vertical || box);
    label(m_height, box ? QStringLiteral("&Height:") : QStringLiteral("Straight &height:"));
    m_form->setRowVisible(m_width, box);
    const bool depth = cylinder && (s.end == TankEnd::Cone || s.end == TankEnd::Ellipsoidal);
    m_form->setRowVisible(m_endDepth, depth);
    label(m_endDepth,
          s.end == TankEnd::Cone ? QStringLiteral("Cone &depth:") : QStringLiteral("Head &depth:"));
    m_endDepth->setSpecialValueText(s.end == TankEnd::Ellipsoidal ? QStringLiteral("D/4")
                                                                  : QStringLiteral("not given"));
    const bool tori = cylinder && s.end == TankEnd::Torispherical;
    m_form->setRowVisible(m_crown, tori);
    m_form->setRowVisible(m_knuckle, tori);
}

TankShape ShapeDialog::shape() const
{
    TankShape s;
    s.kind = tankKindFromName(m_kind->currentData().toString()).value_or(s.kind);
    s.end = tankEndFromName(m_end->currentData().toString()).value_or(s.end);
    s.unit = lengthUnitFromName(m_unit->currentData().toString()).value_or(s.unit);
    const bool cylinder =
        s.kind == TankKind::VerticalCylinder || s.kind == TankKind::HorizontalCylinder;
    if (!cylinder) s.end = TankEnd::Flat;
    if (s.kind != TankKind::Box) s.diameter = m_diameter->value();
    if (s.kind == TankKind::HorizontalCylinder || s.kind == TankKind::Box)
        s.length = m_length->value();
    if (s.kind == TankKind::VerticalCylinder || s.kind == TankKind::Box)
        s.height = m_height->value();
    if (s.kind == TankKind::Box) s.width = m_width->value();
    const auto given = [](const QDoubleSpinBox* box) {
        return box->value() > 0 ? std::optional<double>(box->value()) : std::nullopt;
    };
    if (s.end == TankEnd::Cone || s.end == TankEnd::Ellipsoidal) s.endDepth = given(m_endDepth);
    if (s.end == TankEnd::Torispherical) {
        s.crownRadius = given(m_crown);
        s.knuckleRadius = given(m_knuckle);
    }
    return s;
}

CurveSourceDialog::FitJob ShapeDialog::fitJob(const LevelRange& range, double scale,
                                              const PointRequest& request) const
{
    const VolumeUnit unit =
        volumeUnitFromName(m_volumeUnit->currentData().toString()).value_or(VolumeUnit::Litre);
    return [shape = shape(), range, unit, scale, request,
            offsetCapable = m_offsetCapable](const StopCheck& stop) {
        return curveFromShape(shape, range, unit, scale, request, offsetCapable, stop);
    };
}

QString ShapeDialog::sourceText() const
{
    return tankShapeText(shape()) + QStringLiteral("; values in ") +
           m_volumeUnit->currentData().toString() + QStringLiteral(" x ") + plainNumber(scale());
}

} // namespace kaldor
