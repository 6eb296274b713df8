#include "shell/gauge.h"

#include <QPainter>
#include <algorithm>

namespace kaldor {

namespace {
constexpr int kWidth = 36;
constexpr int kHeight = 260;
} // namespace

Gauge::Gauge(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Gauge::setValue(int value)
{
    value = std::clamp(value, kMinimum, kMaximum);
    if (value == m_value) return;
    m_value = value;
    update();
}

QSize Gauge::sizeHint() const
{
    return {kWidth, kHeight};
}

void Gauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect outer = rect();
    p.fillRect(outer, palette().color(QPalette::Dark));
    const QRect inner =
        outer.adjusted(Gauge::kFrame, Gauge::kFrame, -Gauge::kFrame, -Gauge::kFrame);
    p.fillRect(inner, QColor(0xf4, 0xf6, 0xf8));
    const int level = inner.height() * m_value / kMaximum;
    p.fillRect(QRect(inner.left(), inner.bottom() + 1 - level, inner.width(), level),
               QColor(0x2f, 0x80, 0xc8));
}

} // namespace kaldor
