#include "stores/ContactDisplay.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

struct PresenceCase {
    std::uint32_t flags;
    ContactIcon icon;
    bool online;
};

TEST(ContactDisplayTest, PresenceIconOfEveryVariant) {
    using I = ContactIcon;
    const std::vector<PresenceCase> cases = {
        {0x00, I::kOffline, false},
        {0x1E, I::kOffline, false},  // variant bits without bit 0
        {0x01, I::kOnline, true},
        {0x03, I::kAway, true},
        {0x05, I::kDoNotDisturb, true},
        {0x09, I::kOccupied, true},
        {0x11, I::kAvailableForChat, true},
        {0x0D, I::kDoNotDisturb, true},  // 2 over 3
        {0x0B, I::kOccupied, true},      // 3 over 1
        {0x13, I::kAway, true},          // 1 over 4
        {0x19, I::kOccupied, true},      // 3 over 4
        {0x15, I::kDoNotDisturb, true},  // 2 over 4
        {0x07, I::kDoNotDisturb, true},  // 2 over 1
        {0x1F, I::kDoNotDisturb, true},  // all of them
        {0x21, I::kOffline, false},      // bit 5 hides the online state
        {0x3F, I::kOffline, false},
        {0x20, I::kOffline, false},
        {0x41, I::kOnline, true},  // bits above 5 mean nothing here
        {0x10001, I::kOnline, true},
    };
    for (const PresenceCase& c : cases) {
        EXPECT_EQ(PresenceIcon(c.flags), c.icon) << std::hex << c.flags;
        EXPECT_EQ(IsShownOnline(c.flags), c.online) << std::hex << c.flags;
        EXPECT_FALSE(IsHiddenContact(c.flags, false)) << std::hex << c.flags;
        EXPECT_EQ(IsHiddenContact(c.flags, true), !c.online) << std::hex << c.flags;
    }
}

struct AlertCase {
    int kind;
    std::uint16_t messageFlags;
    std::uint16_t ownMode;
    std::optional<ContactIcon> icon;
};

TEST(ContactDisplayTest, AlertIconByKindPriorityAndOwnMode) {
    using I = ContactIcon;
    namespace k = alert_kind;
    constexpr std::uint16_t kNormal = 0, kAway = 2, kDnd = 4, kOccupied = 8, kChat = 16,
                            kInvisible = 32;
    constexpr std::uint16_t kHigh = kHighPriorityMessage;
    const std::vector<AlertCase> cases = {
        {k::kInstantMessage, 0, kNormal, I::kInstantMessage},
        {k::kInstantMessage, kHigh, kNormal, I::kInstantMessageHighPriority},
        {k::kInstantMessage, 0x06, kNormal, I::kInstantMessage},  // receipt and automatic bits
        {k::kInstantMessage, 0x07, kNormal, I::kInstantMessageHighPriority},
        {k::kForumInvitation, 0, kNormal, I::kForumInvitation},
        {k::kWebsiteInvitation, 0, kNormal, I::kWebInvitation},
        {k::kWebTourInvitation, 0, kNormal, I::kWebInvitation},
        {k::kVoiceMail, 0, kNormal, I::kVoiceMail},
        {k::kVoiceMail, kHigh, kNormal, I::kVoiceMailHighPriority},
        {k::kSystemNotice, 0, kNormal, std::nullopt},
        {147, 0, kNormal, std::nullopt},
        {0, 0, kNormal, std::nullopt},
        // Do not disturb: nothing shows, not even high priority.
        {k::kInstantMessage, 0, kDnd, std::nullopt},
        {k::kInstantMessage, kHigh, kDnd, std::nullopt},
        {k::kVoiceMail, kHigh, kDnd, std::nullopt},
        {k::kForumInvitation, 0, kDnd, std::nullopt},
        // Occupied: only high priority.
        {k::kInstantMessage, 0, kOccupied, std::nullopt},
        {k::kInstantMessage, kHigh, kOccupied, I::kInstantMessageHighPriority},
        {k::kVoiceMail, 0, kOccupied, std::nullopt},
        {k::kVoiceMail, kHigh, kOccupied, I::kVoiceMailHighPriority},
        {k::kForumInvitation, 0, kOccupied, std::nullopt},
        {k::kWebsiteInvitation, kHigh, kOccupied, I::kWebInvitation},
        // The other modes show everything.
        {k::kInstantMessage, 0, kAway, I::kInstantMessage},
        {k::kVoiceMail, 0, kChat, I::kVoiceMail},
        {k::kForumInvitation, 0, kInvisible, I::kForumInvitation},
    };
    for (const AlertCase& c : cases) {
        EXPECT_EQ(AlertIcon(c.kind, c.messageFlags, c.ownMode), c.icon)
            << c.kind << " flags " << c.messageFlags << " mode " << c.ownMode;
    }
}

}  // namespace
}  // namespace qv
