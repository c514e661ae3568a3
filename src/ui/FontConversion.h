#pragma once

#include <QFont>

#include "settings/LogFont.h"

namespace qv {

// The stored font as Qt shows it. Faces this desktop lacks fall back to its sans-serif font.
QFont ToQFont(const LogFont& font);

}  // namespace qv
