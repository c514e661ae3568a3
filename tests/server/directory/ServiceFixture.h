#pragma once

// A real service on an ephemeral loopback port over a fresh database in a temporary folder, with
// a hand-driven clock, a recording mailer and the cheapest password hashes.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "DirectoryService.h"
#include "RawHttpClient.h"
#include "RecordingMailer.h"
#include "support/TempFolder.h"
#include "util/Clock.h"

namespace qv::dirsvc::test {

// What the client's parameter encoding makes of a value (letters and digits kept, 0xFF sent as
// a space, everything else %XX).
std::string Encode(std::string_view value);
// A RegisterEx target as the client builds it.
std::string RegisterTarget(std::string_view nickName, std::string_view email,
                           std::string_view firstName = "Ann", std::string_view lastName = "Lee");

class ServiceFixture : public ::testing::Test {
  protected:
    struct NewUser {
        std::int64_t number = 0;
        std::string password;
    };

    void SetUp() override;
    void TearDown() override;

    // Starts the service (SetUp does; tests that change options stop and call it again).
    void StartService(ServiceOptions options);
    ServiceOptions DefaultOptions() const;

    RawResponse Get(std::string_view target) const { return RawHttpClient(port_).Get(target); }
    std::string Body(std::string_view target) const { return Get(target).body; }
    // The same from another caller's address (127.x.y.z).
    std::string BodyFrom(std::string_view source, std::string_view target) const {
        return RawHttpClient(port_, std::string(source)).Get(target).body;
    }

    // Creates an account through RegisterEx; fails the test when it does not succeed.
    NewUser Register(std::string_view nickName, std::string_view email = "ann@example.com");
    std::string Login(std::int64_t number, std::string_view password, int partner = 1) const;
    std::string LoginTarget(std::int64_t number, std::string_view password, int partner = 1) const;
    // Logs in and returns the connection id (empty on failure).
    std::string Connect(const NewUser& user) const;

    std::vector<std::string> LogLines() const;

    qv::test::TempFolder folder_;
    ManualClock clock_;
    RecordingMailer mailer_;
    std::unique_ptr<DirectoryService> service_;
    int port_ = 0;

  private:
    mutable std::mutex logMutex_;
    std::vector<std::string> log_;
};

}  // namespace qv::dirsvc::test
