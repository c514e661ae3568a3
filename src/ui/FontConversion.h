#pragma once

#include <QFont>

#include "settings/LogFont.h"

namespace qv {

// The stored font as Qt shows it. Faces this desktop lacks fall back to its sans-serif font.
QFont ToQFont(const LogFont& font);

// A font the user chose, in the stored form; what Qt does not describe comes from base.
LogFont ToLogFont(const QFont& font, LogFont base);

}  // namespace qv
