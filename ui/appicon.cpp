#include "ui/appicon.h"

#include <QPainter>
#include <QPainterPath>

namespace kaldor {

namespace {

constexpr int kDesignSize = 64; // the picture is drawn on a 64 x 64 grid, then scaled
constexpr int kScaleTicks = 5;

} // namespace

QPixmap appIconPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(static_cast<qreal>(size) / kDesignSize, static_cast<qreal>(size) / kDesignSize);

    // Tank body and the liquid in it.
    const QRectF tank(8, 6, 34, 52);
    p.setPen(QPen(QColor(0x26, 0x3a, 0x4f), 3));
    p.setBrush(QColor(0xe8, 0xee, 0xf2));
    p.drawRoundedRect(tank, 6, 6);
    QPainterPath inside;
    inside.addRoundedRect(tank.adjusted(2, 2, -2, -2), 4, 4);
    p.setClipPath(inside);
    p.fillRect(QRectF(8, 30, 34, 28), QColor(0x2f, 0x80, 0xc8));
    p.setClipping(false);

    // Scale beside the tank, with the level mark.
    p.setPen(QPen(QColor(0x26, 0x3a, 0x4f), 2.5));
    p.drawLine(QPointF(50, 8), QPointF(50, 56));
    for (int i = 0; i < kScaleTicks; ++i) {
        const qreal y = 8 + i * 12.0;
        p.drawLine(QPointF(50, y), QPointF(i % 2 == 0 ? 58 : 55, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0x4a, 0x2b));
    p.drawPolygon(QPolygonF({QPointF(44, 30), QPointF(50, 26), QPointF(50, 34)}));
    return pixmap;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(appIconPixmap(size));
    return icon;
}

} // namespace kaldor
