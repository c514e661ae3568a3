#pragma once

// The lines the text chat window writes when a conversation starts, pauses or ends. Absent while
// there is no text chat window.

#include <string>

namespace qv {

class CallChatLines {
  public:
    virtual ~CallChatLines() = default;

    virtual void JoinedCall(const std::string& nickname, const std::string& userId) = 0;
    virtual void PlacedOnHold(const std::string& nickname, const std::string& userId) = 0;
    virtual void EndedCall(const std::string& nickname, const std::string& userId) = 0;
    virtual void JoinedForum(const std::string& forumName) = 0;
    virtual void LeftForum(const std::string& forumName) = 0;
    // Nothing is active any more (the chat input has no conversation to go to).
    virtual void NoConversation() = 0;
    // A system line about the conversation (controlled microphones, speaking privileges); while
    // the window is hidden the pane's Text Chat button blinks.
    virtual void NoticeLine(const std::string& text) = 0;
};

}  // namespace qv
