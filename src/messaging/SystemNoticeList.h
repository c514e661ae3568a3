#pragma once

// The notice list of the earlier program is the MessageCenter now; this name stays for the
// windows that show its system notices.

#include "messaging/MessageCenter.h"

namespace qv {

using SystemNoticeList = MessageCenter;

}  // namespace qv
