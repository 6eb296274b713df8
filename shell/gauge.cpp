#include "shell/gauge.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
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

GaugeLabel::GaugeLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    // The picture covers the whole label: nothing beneath it needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GaugeLabel::paintEvent(QPaintEvent*)
{
    const QString shown = text();
    auto picture = m_pictures.constFind(shown);
    if (picture == m_pictures.cend()) {
        const qreal ratio = devicePixelRatioF();
        QPixmap drawn(size() * ratio);
        drawn.setDevicePixelRatio(ratio);
        drawn.fill(palette().color(backgroundRole()));
        QPainter p(&drawn);
        p.setFont(font()); // a picture's painter starts with the application's font
        style()->drawItemText(&p, contentsRect(),
                              QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                              isEnabled(), shown, foregroundRole());
        p.end();
        picture = m_pictures.insert(shown, drawn);
    }
    QPainter(this).drawPixmap(0, 0, *picture);
}

void GaugeLabel::changeEvent(QEvent* event)
{
    // A new font, palette, style or state draws differently: every picture is drawn again.
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::EnabledChange:
    case QEvent::LayoutDirectionChange:
        m_pictures.clear();
        break;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

void GaugeLabel::resizeEvent(QResizeEvent* event)
{
    m_pictures.clear();
    QLabel::resizeEvent(event);
}

} // namespace kaldor
