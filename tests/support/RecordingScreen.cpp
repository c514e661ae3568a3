#include "support/RecordingScreen.h"

namespace qv::test {

void RecordingScreen::ScriptAnswers(std::vector<int> answers) {
    answers_.assign(answers.begin(), answers.end());
}

int RecordingScreen::MessageBox(const std::string& text, const std::string& caption,
                                std::uint32_t style) {
    boxes.push_back({text, caption, style});
    if (!answers_.empty()) {
        int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    switch (style & mb::kButtonsMask) {
        case mb::kAbortRetryIgnore:
            return mb::kIdAbort;
        case mb::kYesNoCancel:
        case mb::kYesNo:
            return mb::kIdYes;
        case mb::kRetryCancel:
            return mb::kIdRetry;
        default:
            return mb::kIdOk;
    }
}

bool RecordingScreen::OpenUrl(const std::string& url) {
    urls.push_back(url);
    return openResult;
}

bool RecordingScreen::StartProgram(const std::string& program,
                                   const std::vector<std::string>& args) {
    std::vector<std::string> call{program};
    call.insert(call.end(), args.begin(), args.end());
    programs.push_back(std::move(call));
    return startResult;
}

}  // namespace qv::test
