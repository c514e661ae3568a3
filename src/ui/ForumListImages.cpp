#include "ui/ForumListImages.h"

#include <QPainter>
#include <QPainterPath>

namespace qv {

namespace {

QPixmap Blank() {
    // Drawn at twice the size on high-density screens.
    QPixmap pixmap(ForumListImages::kSize * 2, ForumListImages::kSize * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Start(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
}

// A speech bubble, the look of a forum.
void Bubble(QPainter& p, QColor fill) {
    QPainterPath path;
    path.addRoundedRect(QRectF(1.5, 2.5, 13, 9), 3, 3);
    QPainterPath tail;
    tail.moveTo(4, 11);
    tail.lineTo(3.5, 14.5);
    tail.lineTo(8, 11);
    tail.closeSubpath();
    p.setPen(QPen(fill.darker(200), 1));
    p.setBrush(fill);
    p.drawPath(path.united(tail));
}

}  // namespace

QPixmap ForumListImages::Lock() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    p.setPen(QPen(QColor(90, 90, 90), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
    p.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
    p.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
    p.setPen(QPen(QColor(140, 100, 0), 1));
    p.setBrush(QColor(235, 185, 40));
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 60, 0));
    p.drawEllipse(QRectF(7, 9.5, 2, 2));
    p.drawRect(QRectF(7.5, 10.5, 1, 3));
    return pixmap;
}

QPixmap ForumListImages::Microphone() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(70, 70, 80));
    p.drawRoundedRect(QRectF(5.5, 1, 5, 9), 2.5, 2.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 40, 40), 1.3));
    p.drawArc(QRectF(3.5, 4, 9, 8.5), 180 * 16, 180 * 16);
    p.drawLine(QPointF(8, 12.5), QPointF(8, 14.5));
    p.drawLine(QPointF(5, 14.8), QPointF(11, 14.8));
    return pixmap;
}

QPixmap ForumListImages::Moderated() {
    // A shield: someone keeps order here.
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    QPainterPath shield;
    shield.moveTo(8, 1);
    shield.lineTo(14, 3.5);
    shield.cubicTo(14, 10, 11, 13, 8, 15);
    shield.cubicTo(5, 13, 2, 10, 2, 3.5);
    shield.closeSubpath();
    p.setPen(QPen(QColor(20, 60, 130), 1));
    p.setBrush(QColor(60, 120, 210));
    p.drawPath(shield);
    p.setPen(QPen(Qt::white, 1.6));
    p.drawLine(QPointF(5, 8), QPointF(7.5, 10.5));
    p.drawLine(QPointF(7.5, 10.5), QPointF(11.5, 5));
    return pixmap;
}

QPixmap ForumListImages::Folder() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(230, 190, 90));
    p.drawPath(back);
    p.setBrush(QColor(250, 215, 120));
    p.drawRect(QRectF(1.5, 6.5, 13, 7));
    return pixmap;
}

QPixmap ForumListImages::TopLevelForum() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    Bubble(p, QColor(90, 180, 90));
    return pixmap;
}

namespace {

QIcon Arrow(bool up) {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    p.setPen(QPen(QColor(30, 80, 160), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (up) {
        p.drawLine(QPointF(8, 14), QPointF(8, 3));
        p.drawLine(QPointF(3.5, 7.5), QPointF(8, 3));
        p.drawLine(QPointF(12.5, 7.5), QPointF(8, 3));
    } else {
        p.drawLine(QPointF(2, 8), QPointF(13, 8));
        p.drawLine(QPointF(8.5, 3.5), QPointF(13, 8));
        p.drawLine(QPointF(8.5, 12.5), QPointF(13, 8));
    }
    return QIcon(pixmap);
}

}  // namespace

QIcon ForumListImages::LevelUp() {
    return Arrow(true);
}

QIcon ForumListImages::OpenJoin() {
    return Arrow(false);
}

QIcon ForumListImages::Refresh() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    p.setPen(QPen(QColor(30, 130, 60), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 130, 60));
    QPainterPath head;
    head.moveTo(9, 0.5);
    head.lineTo(13.5, 3.5);
    head.lineTo(8.5, 6);
    head.closeSubpath();
    p.drawPath(head);
    return QIcon(pixmap);
}

QIcon ForumListImages::Create() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    Start(p);
    Bubble(p, QColor(200, 220, 250));
    p.setPen(QPen(QColor(20, 120, 30), 2.2));
    p.drawLine(QPointF(11.5, 8), QPointF(11.5, 15));
    p.drawLine(QPointF(8, 11.5), QPointF(15, 11.5));
    return QIcon(pixmap);
}

}  // namespace qv
