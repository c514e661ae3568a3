#include "ui/QtScreen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <vector>

namespace qv {

namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

struct ButtonSpec {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<ButtonSpec> ButtonsOf(std::uint32_t style) {
    switch (style & mb::kButtonsMask) {
        case mb::kOkCancel:
            return {{QMessageBox::Ok, mb::kIdOk}, {QMessageBox::Cancel, mb::kIdCancel}};
        case mb::kAbortRetryIgnore:
            return {{QMessageBox::Abort, mb::kIdAbort},
                    {QMessageBox::Retry, mb::kIdRetry},
                    {QMessageBox::Ignore, mb::kIdIgnore}};
        case mb::kYesNoCancel:
            return {{QMessageBox::Yes, mb::kIdYes},
                    {QMessageBox::No, mb::kIdNo},
                    {QMessageBox::Cancel, mb::kIdCancel}};
        case mb::kYesNo:
            return {{QMessageBox::Yes, mb::kIdYes}, {QMessageBox::No, mb::kIdNo}};
        case mb::kRetryCancel:
            return {{QMessageBox::Retry, mb::kIdRetry}, {QMessageBox::Cancel, mb::kIdCancel}};
        default:
            return {{QMessageBox::Ok, mb::kIdOk}};
    }
}

QMessageBox::Icon IconOf(std::uint32_t style) {
    switch (style & mb::kIconMask) {
        case mb::kIconStop:
            return QMessageBox::Critical;
        case mb::kIconQuestion:
            return QMessageBox::Question;
        case mb::kIconExclamation:
            return QMessageBox::Warning;
        case mb::kIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int QtScreen::MessageBox(const std::string& text, const std::string& caption, std::uint32_t style) {
    QMessageBox box(IconOf(style), Q(caption), Q(text), QMessageBox::NoButton, mainWindow_);
    const std::vector<ButtonSpec> buttons = ButtonsOf(style);
    QMessageBox::StandardButtons all;
    for (const ButtonSpec& b : buttons) {
        all |= b.button;
    }
    box.setStandardButtons(all);
    std::size_t defaultIndex = (style & mb::kDefaultMask) >> 8;
    if (defaultIndex < buttons.size()) {
        box.setDefaultButton(buttons[defaultIndex].button);
    }
    const int chosen = box.exec();
    for (const ButtonSpec& b : buttons) {
        if (chosen == b.button) {
            return b.answer;
        }
    }
    // Closed with Escape or the title bar: the cancelling answer.
    return buttons.size() == 1                        ? buttons[0].answer
           : (style & mb::kButtonsMask) == mb::kYesNo ? mb::kIdNo
                                                      : mb::kIdCancel;
}

void QtScreen::FlashMainWindow(bool on) {
    if (mainWindow_ != nullptr && on) {
        QApplication::alert(mainWindow_);
    }
}

bool QtScreen::OpenUrl(const std::string& url) {
    QUrl target = QUrl::fromUserInput(Q(url));
    return target.isValid() && QDesktopServices::openUrl(target);
}

bool QtScreen::StartProgram(const std::string& program, const std::vector<std::string>& args) {
    return SpawnDetached(program, args);
}

}  // namespace qv
