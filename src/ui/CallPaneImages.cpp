#include "ui/CallPaneImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>

namespace qv {

namespace {

QPixmap Blank(int size) {
    // Drawn at twice the size on high-density screens.
    QPixmap pixmap(size * 2, size * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A round lamp with a highlight, in the colour given.
void Lamp(QPainter& p, QColor base, bool glow) {
    const QRectF r(2, 2, 16, 16);
    if (glow) {
        p.setPen(Qt::NoPen);
        QColor halo = base;
        halo.setAlpha(90);
        p.setBrush(halo);
        p.drawEllipse(QRectF(0, 0, 20, 20));
    }
    QRadialGradient g(r.center() - QPointF(3, 3), 11);
    g.setColorAt(0, base.lighter(170));
    g.setColorAt(0.5, base);
    g.setColorAt(1, base.darker(160));
    p.setBrush(g);
    p.setPen(QPen(base.darker(220), 1));
    p.drawEllipse(r);
}

}  // namespace

QPixmap CallPaneImages::Light(StatusLight light) {
    QPixmap pixmap = Blank(kLightSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (light) {
        case StatusLight::kIdle:
            Lamp(p, QColor(150, 150, 150), false);
            break;
        case StatusLight::kInCall:
            Lamp(p, QColor(30, 170, 60), false);
            break;
        case StatusLight::kWaiting:
            Lamp(p, QColor(230, 140, 0), false);
            break;
        case StatusLight::kWaitingB:
            Lamp(p, QColor(255, 220, 40), true);
            break;
    }
    return pixmap;
}

QPixmap CallPaneImages::Mark(ParticipantStatus status) {
    QPixmap pixmap = Blank(kMarkSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF dot(3, 3, 8, 8);
    switch (status) {
        case ParticipantStatus::kPresent:
            p.setPen(QPen(QColor(20, 110, 40), 1));
            p.setBrush(QColor(60, 180, 80));
            p.drawEllipse(dot);
            break;
        case ParticipantStatus::kTalking: {
            p.setPen(QPen(QColor(20, 110, 40), 1));
            p.setBrush(QColor(60, 200, 80));
            p.drawEllipse(QRectF(1, 4, 6, 6));
            // Sound waves going out.
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(20, 140, 40), 1.4));
            p.drawArc(QRectF(3, 3, 8, 8), -50 * 16, 100 * 16);
            p.drawArc(QRectF(2, 1, 12, 12), -50 * 16, 100 * 16);
            break;
        }
        case ParticipantStatus::kOnHold:
            // Two pause bars.
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(220, 130, 0));
            p.drawRoundedRect(QRectF(3, 2, 3, 10), 1, 1);
            p.drawRoundedRect(QRectF(8, 2, 3, 10), 1, 1);
            break;
        case ParticipantStatus::kMuted:
            p.setPen(QPen(QColor(110, 110, 110), 1));
            p.setBrush(QColor(200, 200, 200));
            p.drawEllipse(dot);
            p.setPen(QPen(QColor(200, 30, 30), 2));
            p.drawLine(QPointF(2, 12), QPointF(12, 2));
            break;
        case ParticipantStatus::kInvited: {
            // A ringing bell.
            QPainterPath bell;
            bell.moveTo(3, 10);
            bell.cubicTo(4, 9, 4, 3, 7, 3);
            bell.cubicTo(10, 3, 10, 9, 11, 10);
            bell.closeSubpath();
            p.setPen(QPen(QColor(120, 90, 0), 1));
            p.setBrush(QColor(240, 200, 40));
            p.drawPath(bell);
            p.drawEllipse(QRectF(6, 10, 2, 2));
            break;
        }
    }
    return pixmap;
}

void CallPaneImages::PaintBlink(QPushButton& button, bool lit) {
    if (!lit) {
        button.setPalette(QPalette());
        button.setAutoFillBackground(false);
        return;
    }
    // The active title bar's colours, also while the window is in the background.
    QPalette p = button.palette();
    const QColor back = p.color(QPalette::Active, QPalette::Highlight);
    const QColor text = p.color(QPalette::Active, QPalette::HighlightedText);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Button, back);
        p.setColor(group, QPalette::ButtonText, text);
    }
    button.setPalette(p);
    button.setAutoFillBackground(true);
}

}  // namespace qv
