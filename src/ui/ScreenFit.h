#pragma once

// Window code shared by the program's windows: a saved place brought back onto a screen.

#include <QRect>

namespace qv {

// The place on the screen under its centre (the primary one when that screen is gone), made no
// larger than that screen's work area and moved inside it.
QRect FitOnScreen(QRect place);

}  // namespace qv
