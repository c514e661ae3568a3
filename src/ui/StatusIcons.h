#pragma once

// The program's own small pictures, drawn rather than loaded: the status line's five icons
// (437 online, 438 connecting, 439 disconnected, 442 call waiting, 443 in a call or forum), the
// program icon and the alert icons the tray blinks with.

#include <QIcon>
#include <QPixmap>
#include <cstdint>

namespace qv {

QPixmap StatusIcon(int resource, int size = 16);
// The program icon (the tray's normal icon).
QIcon ProgramIcon();
// The tray icon while an alert of that icon number waits (any number gives a picture).
QIcon AlertIcon(std::int32_t icon);

}  // namespace qv
