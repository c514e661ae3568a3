#include "directory/CNewAccountDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "directory/ReplyGrammar.h"
#include "support/ClientRig.h"
#include "support/RecordingScreen.h"
#include "support/TestHttpServer.h"

namespace qv {
namespace {

const std::string S(1, reply::kItemSeparator);

class CNewAccountDialogTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qv_new_account_dialog_test";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) {
            static QApplication application(argc, argv);
        }
    }
    void SetUp() override { ASSERT_TRUE(rig.Start(server.Host())); }

    template <typename T>
    T* Find(const char* name) {
        T* widget = dialog->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void Fill() {
        Find<QLineEdit>("nickName")->setText("  Al ");
        Find<QLineEdit>("email")->setText("al@example.org");
        Find<QLineEdit>("firstName")->setText("Al");
        Find<QLineEdit>("lastName")->setText("Smith");
        Find<QCheckBox>("mailings")->setChecked(true);
    }

    test::TestHttpServer server;
    test::ClientRig rig;
    test::RecordingScreen screen;
    std::unique_ptr<CNewAccountDialog> dialog =
        std::make_unique<CNewAccountDialog>(rig.client, screen);
};

TEST_F(CNewAccountDialogTest, OkRegistersAndTheDialogClosesWithResultOne) {
    server.Answer("RegisterEx", "Success" + S + "LoginId=1001" + S + "Password=pw" + S);
    dialog->show();
    Fill();
    QPushButton* ok = Find<QPushButton>("ok");
    ok->click();
    EXPECT_EQ(Find<QLineEdit>("nickName")->text(), "Al");
    EXPECT_EQ(Find<QLabel>("status")->text(), "Accessing Database...Please Wait.");
    EXPECT_FALSE(ok->isEnabled());
    ASSERT_TRUE(rig.DriveUntil([&] { return !screen.boxes.empty(); }));
    EXPECT_EQ(screen.boxes[0].caption, "Account Created");
    EXPECT_EQ(dialog->result(), 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(Find<QLabel>("status")->text(), "");
    EXPECT_NE(server.PageRequests()[0].target.find("&SendMailsOK=1"), std::string::npos);
    EXPECT_NE(server.PageRequests()[0].target.find("&HideEmail=0&"), std::string::npos);
}

TEST_F(CNewAccountDialogTest, AMissingFieldIsRefusedBeforeAnythingIsSent) {
    dialog->show();
    Fill();
    Find<QLineEdit>("lastName")->clear();
    Find<QPushButton>("ok")->click();
    ASSERT_EQ(screen.boxes.size(), 1u);
    EXPECT_EQ(screen.boxes[0].text, "Please enter all required fields!");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(Find<QPushButton>("ok")->isEnabled());
    EXPECT_EQ(rig.client.Sizes().ready, 0u);
}

TEST_F(CNewAccountDialogTest, AReplyAfterCancelIsDropped) {
    dialog->show();
    Fill();
    Find<QPushButton>("ok")->click();
    dialog->reject();
    ASSERT_TRUE(rig.DriveUntil([&] { return server.Count("RegisterEx") == 1; }));
    ASSERT_TRUE(rig.DriveUntil([&] {
        DirectoryClient::QueueSizes s = rig.client.Sizes();
        return s.ready + s.inFlight + s.completed == 0;
    }));
    EXPECT_TRUE(screen.boxes.empty());
    EXPECT_EQ(dialog->result(), 0);
}

}  // namespace
}  // namespace qv
