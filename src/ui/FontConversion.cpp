#include "ui/FontConversion.h"

#include <algorithm>
#include <cstdlib>

namespace qv {

QFont ToQFont(const LogFont& font) {
    QFont q(QString::fromUtf8(font.faceName.c_str()));
    q.setStyleHint(QFont::SansSerif);
    // Negative heights are character heights in pixels, positive ones point sizes as dialogs
    // give them; either way never smaller than something readable.
    const int height = std::abs(font.height);
    if (font.height < 0) {
        q.setPixelSize(std::max(height, 9));
    } else if (font.height > 0) {
        q.setPointSize(std::max(height, 8));
    }
    if (font.weight > 0) {
        q.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight / 10 * 10, 100, 900)));
    }
    q.setItalic(font.italic != 0);
    q.setUnderline(font.underline != 0);
    q.setStrikeOut(font.strikeOut != 0);
    return q;
}

}  // namespace qv
