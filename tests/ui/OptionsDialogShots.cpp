// Pictures of every page of the options dialog, for a person to look at: run under Xvfb with a
// folder to write them to.

#include <QApplication>
#include <QDialog>
#include <QTabWidget>
#include <cstdio>
#include <memory>
#include <string>

#include "app/AppShell.h"
#include "app/CQuorvaneApp.h"
#include "platform/Mixer.h"
#include "platform/TickClock.h"
#include "settings/COptionsDialog.h"
#include "settings/LoginKey.h"
#include "settings/RegistryKey.h"
#include "support/RecordingScreen.h"
#include "support/TempFolder.h"
#include "ui/CMainFrame.h"
#include "ui/ProgramOptions.h"

namespace {

class ShotShell final : public qv::AppShell {
  public:
    qv::Screen& GetScreen() override { return screen; }
    bool HasFontFamily(const std::string&) override { return false; }
    void SetFonts(const qv::LogFont&, const qv::LogFont& list, const qv::LogFont& chat) override {
        qv::ProgramOptions::ApplyFonts(list, chat);
    }
    bool CreateMainWindow() override {
        frame = std::make_unique<qv::CMainFrame>(*app, screen);
        frame->Place();
        return true;
    }
    void ShowMainWindow(bool) override { frame->show(); }
    void ActivateMainWindow() override {}
    void DestroyMainWindow() override { frame.reset(); }

    qv::CQuorvaneApp* app = nullptr;
    qv::test::RecordingScreen screen;
    std::unique_ptr<qv::CMainFrame> frame;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const std::string out = argc > 1 ? std::string(argv[1]) + "/" : std::string("./");
    qv::test::TempFolder root;
    root.Write("Quorvane.ini", "[Internal]\r\nShowInternalOptions=1\r\n");
    qv::SteadyTickClock clock;
    ShotShell shell;
    qv::AppEnvironment env;
    env.homeOption = root.Path();
    env.executable = "/usr/bin/quorvane";
    auto app = std::make_unique<qv::CQuorvaneApp>(env, shell, nullptr, clock);
    shell.app = app.get();
    if (!app->InitInstance()) {
        return 1;
    }
    app->LoginKey()->SetDword(qv::login_key::kQuorvaneId, 1002);
    app->LoginKey()->SetString("NickName", "Bob");
    app->LoginKey()->SetString(qv::login_key::kFirstName, "Robert");
    app->LoginKey()->SetString(qv::login_key::kLastName, "Smith");
    app->LoginKey()->SetString(qv::login_key::kEmail, "bob@x.org");
    shell.frame->OnCommand(qv::ProgramOptions::kCommand);
    qv::COptionsDialog* dialog = shell.frame->OptionsOpener()->Dialog();
    if (dialog == nullptr) {
        return 1;
    }
    dialog->adjustSize();
    for (int i = 0; i < dialog->Tabs()->count(); ++i) {
        dialog->Tabs()->setCurrentIndex(i);
        QApplication::processEvents();
        const std::string name = out + "options-" + std::to_string(i) + "-" +
                                 dialog->Tabs()->tabText(i).remove(' ').toStdString() + ".png";
        dialog->grab().save(QString::fromStdString(name));
        std::printf("%s\n", name.c_str());
    }
    dialog->close();
    app->ExitInstance();
    return 0;
}
