#pragma once

// A Screen that records every call and answers message boxes from a script.

#include <deque>
#include <string>
#include <vector>

#include "platform/Screen.h"

namespace qv::test {

class RecordingScreen final : public Screen {
  public:
    struct Box {
        std::string text;
        std::string caption;
        std::uint32_t style = 0;
    };

    // Answers the next message boxes in order; once the script is used up every box gets the
    // default answer (the first button of its style).
    void ScriptAnswers(std::vector<int> answers);

    int MessageBox(const std::string& text, const std::string& caption,
                   std::uint32_t style) override;
    void FlashMainWindow(bool on) override { flashes.push_back(on); }
    bool OpenUrl(const std::string& url) override;
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override;

    std::vector<Box> boxes;
    std::vector<bool> flashes;
    std::vector<std::string> urls;
    std::vector<std::vector<std::string>> programs;  // program followed by its arguments
    bool openResult = true;
    bool startResult = true;

  private:
    std::deque<int> answers_;
};

}  // namespace qv::test
