#include "ui/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace qv {

QRect FitOnScreen(QRect place) {
    const QScreen* screen = QGuiApplication::screenAt(place.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return place;
    }
    const QRect work = screen->availableGeometry();
    place.setSize(place.size().boundedTo(work.size()));
    place.moveLeft(std::clamp(place.left(), work.left(), work.right() - place.width() + 1));
    place.moveTop(std::clamp(place.top(), work.top(), work.bottom() - place.height() + 1));
    return place;
}

}  // namespace qv
