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

LogFont ToLogFont(const QFont& font, LogFont base) {
    if (font.pixelSize() > 0) {
        base.height = -font.pixelSize();
    } else if (font.pointSizeF() > 0) {
        // Character height in pixels at the 96 dots per inch the stored fonts assume.
        base.height = -static_cast<std::int32_t>(font.pointSizeF() * 96.0 / 72.0 + 0.5);
    }
    base.width = 0;
    base.weight = std::clamp(static_cast<int>(font.weight()), 100, 900);
    base.italic = font.italic() ? 1 : 0;
    base.underline = font.underline() ? 1 : 0;
    base.strikeOut = font.strikeOut() ? 1 : 0;
    std::string face = font.family().toUtf8().toStdString();
    if (face.size() >= LogFont::kFaceSize) {
        face.resize(LogFont::kFaceSize - 1);
        // Never half a character.
        while (!face.empty() && (static_cast<unsigned char>(face.back()) & 0xC0) == 0x80) {
            face.pop_back();
        }
        if (!face.empty() && (static_cast<unsigned char>(face.back()) & 0xC0) == 0xC0) {
            face.pop_back();
        }
    }
    base.faceName = face;
    return base;
}

}  // namespace qv
