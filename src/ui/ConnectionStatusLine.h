#pragma once

// The connection status line at the bottom of the main view: one process-wide object that works
// out, every 200 ms and at every connection state change, what the connection is doing (states
// 0 to 5), with the ping and packet loss, and tells its view when that changed. A click does
// what its text offers.

#include <cstdint>
#include <string>

namespace qv {

class TimerScheduler;

// What the status line reads; the program answers from the engine and call managers.
class StatusLineSource {
  public:
    virtual ~StatusLineSource() = default;
    // The engine manager's state (0 idle, 2 connecting, 3 connected, 4 logged in); -1 when
    // there is no manager.
    virtual int ManagerState() const = 0;
    virtual bool CallOrForumActive() const = 0;
    virtual bool ActiveIsForum() const = 0;
    virtual bool IncomingCallWaiting() const = 0;
    virtual std::int32_t Ping() const = 0;
    virtual float PacketLoss() const = 0;
};

// Where it shows; the Qt widget implements it.
class StatusLineView {
  public:
    virtual ~StatusLineView() = default;
    virtual void ShowStatus(int state, int icon, const std::string& text) = 0;
};

class ConnectionStatusLine {
  public:
    enum class Click { Connect, Answer, HangUp, Leave, None };

    static constexpr std::uint32_t kPeriodMs = 200;
    static constexpr int kDisconnected = 0;
    static constexpr int kConnecting = 1;
    static constexpr int kOnline = 2;
    static constexpr int kCallWaiting = 3;
    static constexpr int kInCall = 5;

    ConnectionStatusLine(StatusLineSource& source, TimerScheduler* scheduler);
    ~ConnectionStatusLine();
    ConnectionStatusLine(const ConnectionStatusLine&) = delete;
    ConnectionStatusLine& operator=(const ConnectionStatusLine&) = delete;

    // Starts the 200 ms job (the view starts it once it exists); a second call does nothing.
    void Start();
    // The job: works the state and ping out again and shows them when they changed.
    void Update();
    // The view to show in, or null; a new view is shown the current status at once.
    void SetView(StatusLineView* view);

    int State() const { return state_; }
    int Icon() const { return IconFor(state_); }
    const std::string& Text() const { return text_; }
    // What a click on the line does now.
    Click ClickAction() const;

    // The state for what the source reports.
    static int StateFor(const StatusLineSource& source);
    static int IconFor(int state);
    // The text of a state; the ping suffix comes with states from 2 up when the ping is not 0.
    static std::string TextFor(int state, bool forum, std::int32_t ping, float packetLoss);

  private:
    StatusLineSource& source_;
    TimerScheduler* scheduler_;
    StatusLineView* view_ = nullptr;
    std::uint32_t entry_ = 0;
    bool shown_ = false;
    int state_ = kDisconnected;
    std::int32_t ping_ = 0;
    bool forum_ = false;
    std::string text_;
};

}  // namespace qv
