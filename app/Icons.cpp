#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace frostmark {

void PaintAppIcon(QPainter& p, qreal s, bool barbs) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // A green-and-blue map tile with rounded corners...
    QRectF tile(s * 0.04, s * 0.04, s * 0.92, s * 0.92);
    QLinearGradient bg(tile.topLeft(), tile.bottomRight());
    bg.setColorAt(0, QColor(0x2e, 0x7d, 0x32));
    bg.setColorAt(0.55, QColor(0x1b, 0x5e, 0x20));
    bg.setColorAt(1, QColor(0x0d, 0x47, 0xa1));
    p.setPen(QPen(QColor(0x0b, 0x2a, 0x4a), qMax(1.0, s / 32)));
    p.setBrush(bg);
    p.drawRoundedRect(tile, s * 0.16, s * 0.16);
    // ...with a six-armed frost crystal over it: the scenery that is frozen in place.
    const QPointF c(s / 2, s / 2);
    const qreal arm = s * 0.36;
    QPen pen(QColor(0xe3, 0xf2, 0xfd), qMax(1.0, s / 12), Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    for (int i = 0; i < 6; ++i) {
        const qreal a = qDegreesToRadians(90.0 + i * 60.0);
        const QPointF dir(qCos(a), -qSin(a));
        const QPointF tip = c + dir * arm;
        p.drawLine(c, tip);
        if (barbs) {
            // Two barbs on each arm.
            const QPointF mid = c + dir * (arm * 0.6);
            for (int side : {-1, 1}) {
                const qreal b = a + side * qDegreesToRadians(45.0);
                p.drawLine(mid, mid + QPointF(qCos(b), -qSin(b)) * (arm * 0.35));
            }
        }
    }
    p.setBrush(QColor(0xe3, 0xf2, 0xfd));
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, s * 0.07, s * 0.07);
    p.restore();
}

bool AppIconHasBarbs(int size) {
    // Below 24 pixels the barbs would only blur the arms.
    return size >= 24;
}

QImage AppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PaintAppIcon(p, size, AppIconHasBarbs(size));
    return image;
}

QPixmap AppIconPixmap(int size) {
    return QPixmap::fromImage(AppIconImage(size));
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(AppIconPixmap(size));
    return icon;
}

QPixmap ZoomIconPixmap(bool plus, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    const QPointF lensCentre(s * 0.40, s * 0.40);
    const qreal r = s * 0.30;
    // Handle first, so the rim covers its end.
    p.setPen(QPen(QColor(0x5d, 0x40, 0x37), s * 0.16, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lensCentre + QPointF(r * 0.75, r * 0.75), QPointF(s * 0.90, s * 0.90));
    // Lens and rim.
    p.setPen(QPen(QColor(0x26, 0x32, 0x38), qMax(1.0, s * 0.09)));
    p.setBrush(QColor(0xbb, 0xde, 0xfb));
    p.drawEllipse(lensCentre, r, r);
    // The sign.
    p.setPen(QPen(QColor(0x0d, 0x47, 0xa1), qMax(1.0, s * 0.10), Qt::SolidLine, Qt::FlatCap));
    const qreal h = r * 0.6;
    p.drawLine(lensCentre - QPointF(h, 0), lensCentre + QPointF(h, 0));
    if (plus)
        p.drawLine(lensCentre - QPointF(0, h), lensCentre + QPointF(0, h));
    return pm;
}

} // namespace frostmark
