#include "shell/gauge.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

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
    // Only the strip between the old level and the new one changes: a step repaints a few rows
    // of pixels, and none when both levels fall on the same row.
    const int before = levelTop(m_value);
    m_value = value;
    const int after = levelTop(m_value);
    if (before == after) return;
    const QRect inner = innerRect();
    update(QRect(inner.left(), std::min(before, after), inner.width(), std::abs(after - before)));
}

QRect Gauge::innerRect() const
{
    return rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
}

int Gauge::levelTop(int value) const
{
    const QRect inner = innerRect();
    return inner.bottom() + 1 - inner.height() * value / kMaximum;
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
    const QRect inner = innerRect();
    p.fillRect(inner, QColor(0xf4, 0xf6, 0xf8));
    const int top = levelTop(m_value);
    p.fillRect(QRect(inner.left(), top, inner.width(), inner.bottom() + 1 - top),
               QColor(0x2f, 0x80, 0xc8));
}

} // namespace kaldor
