#include "ui/StatusIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace qv {

namespace {

QPixmap Blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A round lamp: the colour says the state.
void Lamp(QPainter& p, int size, const QColor& fill) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(170), size / 16.0 + 0.5));
    QRadialGradient glow(size * 0.38, size * 0.35, size * 0.6);
    glow.setColorAt(0, fill.lighter(160));
    glow.setColorAt(1, fill);
    p.setBrush(glow);
    const qreal m = size * 0.1;
    p.drawEllipse(QRectF(m, m, size - 2 * m, size - 2 * m));
}

// A telephone handset across the picture.
void Handset(QPainter& p, int size, const QColor& colour) {
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const qreal s = size;
    path.moveTo(0.18 * s, 0.30 * s);
    path.cubicTo(0.30 * s, 0.15 * s, 0.70 * s, 0.15 * s, 0.82 * s, 0.30 * s);
    p.setPen(QPen(colour, s * 0.16, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(0.10 * s, 0.28 * s, 0.22 * s, 0.16 * s), 2, 2);
    p.drawRoundedRect(QRectF(0.68 * s, 0.28 * s, 0.22 * s, 0.16 * s), 2, 2);
    p.drawRoundedRect(QRectF(0.25 * s, 0.52 * s, 0.50 * s, 0.36 * s), 3, 3);
}

}  // namespace

QPixmap StatusIcon(int resource, int size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    switch (resource) {
        case 439:  // disconnected: a grey lamp with a cross
            Lamp(p, size, QColor(150, 150, 150));
            p.setPen(QPen(QColor(190, 20, 20), size / 8.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(size * 0.3, size * 0.3), QPointF(size * 0.7, size * 0.7));
            p.drawLine(QPointF(size * 0.7, size * 0.3), QPointF(size * 0.3, size * 0.7));
            break;
        case 438:  // connecting: amber
            Lamp(p, size, QColor(235, 170, 20));
            break;
        case 442:  // a call waiting: a red handset on a pale lamp
            Lamp(p, size, QColor(255, 230, 200));
            Handset(p, size, QColor(200, 30, 30));
            break;
        case 443:  // talking: a green handset
            Lamp(p, size, QColor(210, 240, 210));
            Handset(p, size, QColor(20, 130, 40));
            break;
        default:  // 437 online: green
            Lamp(p, size, QColor(40, 170, 60));
            break;
    }
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 32, 48}) {
        QPixmap pixmap = Blank(size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 90, 170));
        p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
        // A "Q" of a ring and its tail.
        p.setPen(QPen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(size * 0.25, size * 0.22, size * 0.5, size * 0.5));
        p.drawLine(QPointF(size * 0.58, size * 0.62), QPointF(size * 0.78, size * 0.82));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon AlertIcon(std::int32_t icon) {
    QIcon result;
    for (int size : {16, 22, 32, 48}) {
        QPixmap pixmap = Blank(size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        // Bright and different from the program icon, so the blinking shows; the hue follows the
        // alert's icon number so kinds can be told apart.
        const QColor fill = QColor::fromHsv((static_cast<unsigned>(icon) * 47u) % 360u, 200, 240);
        p.setPen(QPen(fill.darker(160), 1));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(1, size * 0.2, size - 2, size * 0.6), 3, 3);
        p.setPen(QPen(Qt::white, size / 10.0));
        p.drawLine(QPointF(2, size * 0.22), QPointF(size / 2.0, size * 0.55));
        p.drawLine(QPointF(size - 2, size * 0.22), QPointF(size / 2.0, size * 0.55));
        p.end();
        result.addPixmap(pixmap);
    }
    return result;
}

}  // namespace qv
