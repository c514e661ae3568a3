#include "stores/ContactIconSet.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace qv {

namespace {

constexpr int kScale = 2;  // drawn at twice the size, so that they stay sharp on dense screens

QIcon Draw(const std::function<void(QPainter&)>& paint) {
    QIcon icon;
    for (int scale = 1; scale <= kScale; ++scale) {
        QPixmap pixmap(ContactIconSet::kSize * scale, ContactIconSet::kSize * scale);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            paint(p);
        }
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A round badge of one colour with a dark rim, the mark drawn over it in white.
void Badge(QPainter& p, const QColor& fill) {
    p.setPen(QPen(fill.darker(160), 1.0));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

QPen White(qreal width) {
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Envelope(QPainter& p, const QColor& paper, const QColor& rim) {
    p.setPen(QPen(rim, 1.2));
    p.setBrush(paper);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawPolyline(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 9), QPointF(14.5, 3.5)}));
}

void Tape(QPainter& p, const QColor& body) {
    p.setPen(QPen(body.darker(170), 1.0));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(0.5, 3.5, 15, 9), 2, 2);
    p.setPen(White(1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2.5, 5.5, 4, 4));
    p.drawEllipse(QRectF(9.5, 5.5, 4, 4));
    p.drawLine(QPointF(4.5, 9.5), QPointF(11.5, 9.5));
}

// A red exclamation mark in the top right corner: the high-priority variants.
void Urgent(QPainter& p) {
    p.setPen(QPen(Qt::white, 1.0));
    p.setBrush(QColor(220, 20, 20));
    p.drawEllipse(QRectF(8.5, 0.5, 7, 7));
    p.setPen(White(1.4));
    p.drawLine(QPointF(12, 2), QPointF(12, 4.4));
    p.drawPoint(QPointF(12, 6));
}

}  // namespace

ContactIconSet::ContactIconSet() {
    using I = ContactIcon;
    auto set = [this](I which, const std::function<void(QPainter&)>& paint) {
        icons_[static_cast<int>(which)] = Draw(paint);
    };
    set(I::kOffline, [](QPainter& p) {
        p.setPen(QPen(QColor(130, 130, 130), 1.5));
        p.setBrush(QColor(225, 225, 225));
        p.drawEllipse(QRectF(2, 2, 12, 12));
    });
    set(I::kOnline, [](QPainter& p) {
        Badge(p, QColor(40, 170, 60));
        p.setPen(White(1.8));
        p.drawPolyline(QPolygonF({QPointF(4.5, 8.3), QPointF(7, 10.8), QPointF(11.5, 5.5)}));
    });
    set(I::kAway, [](QPainter& p) {
        Badge(p, QColor(245, 175, 0));
        p.setPen(White(1.6));
        p.drawLine(QPointF(8, 8), QPointF(8, 4.2));
        p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
    });
    set(I::kDoNotDisturb, [](QPainter& p) {
        Badge(p, QColor(215, 30, 30));
        p.setPen(White(2.4));
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
    });
    set(I::kOccupied, [](QPainter& p) {
        Badge(p, QColor(130, 60, 180));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        for (qreal x : {4.6, 8.0, 11.4}) {
            p.drawEllipse(QPointF(x, 8), 1.3, 1.3);
        }
    });
    set(I::kAvailableForChat, [](QPainter& p) {
        Badge(p, QColor(30, 120, 220));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(4, 4.5, 8, 5.5), 2, 2);
        bubble.moveTo(5.5, 9.5);
        bubble.lineTo(5, 12);
        bubble.lineTo(8, 9.5);
        p.drawPath(bubble.simplified());
    });
    set(I::kInstantMessage,
        [](QPainter& p) { Envelope(p, QColor(255, 250, 225), QColor(60, 90, 160)); });
    set(I::kInstantMessageHighPriority, [](QPainter& p) {
        Envelope(p, QColor(255, 225, 225), QColor(190, 30, 30));
        Urgent(p);
    });
    set(I::kForumInvitation, [](QPainter& p) {
        // Two heads and shoulders: people talking together.
        p.setPen(QPen(QColor(0, 100, 100), 1.0));
        p.setBrush(QColor(0, 170, 160));
        p.drawEllipse(QRectF(1.5, 2.5, 5, 5));
        p.drawChord(QRectF(0.5, 8, 7, 8), 0, 180 * 16);
        p.setBrush(QColor(0, 200, 190));
        p.drawEllipse(QRectF(9.5, 2.5, 5, 5));
        p.drawChord(QRectF(8.5, 8, 7, 8), 0, 180 * 16);
    });
    set(I::kWebInvitation, [](QPainter& p) {
        // A globe.
        p.setPen(QPen(QColor(20, 80, 150), 1.1));
        p.setBrush(QColor(120, 190, 240));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
    });
    set(I::kVoiceMail, [](QPainter& p) { Tape(p, QColor(70, 70, 80)); });
    set(I::kVoiceMailHighPriority, [](QPainter& p) {
        Tape(p, QColor(190, 30, 30));
        Urgent(p);
    });
    group_ = Draw([](QPainter& p) {
        p.setPen(QPen(QColor(150, 110, 20), 1.0));
        p.setBrush(QColor(250, 210, 90));
        QPainterPath folder;
        folder.moveTo(1.5, 4);
        folder.lineTo(6, 4);
        folder.lineTo(7.5, 5.5);
        folder.lineTo(14.5, 5.5);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p.drawPath(folder);
    });
}

}  // namespace qv
