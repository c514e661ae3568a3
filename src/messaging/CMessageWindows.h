#pragma once

// The message windows: "Send Instant Message", the incoming message, the invitations, and the
// host that opens one window per shown alert for the MessageCenter.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "messaging/MessageCenter.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qv {

class IniFile;

// What the user buttons do; a null action leaves its button disabled.
struct UserButtonActions {
    std::function<void(const std::string& id, const std::string& nickname)> add;
    std::function<void(const std::string& id, const std::string& nickname)> block;
    std::function<void(const std::string& id, const std::string& nickname)> call;
    // The event log with this user's records.
    std::function<void(const std::string& id, const std::string& nickname)> history;
    std::function<void()> help;
};

class CSendMessageDialog : public QDialog {
    Q_OBJECT
  public:
    // ids and nicknames: parallel lists, one recipient a line. settings keeps the placement (may
    // be null).
    CSendMessageDialog(MessageCenter& center, std::string ids, std::string nicknames,
                       UserButtonActions actions, IniFile* settings, QWidget* parent = nullptr);

    QPlainTextEdit* Text() const { return text_; }
    QCheckBox* HighPriority() const { return highPriority_; }
    QCheckBox* NotifyReceived() const { return notify_; }
    QPushButton* SendButton() const { return send_; }
    QPushButton* UserButton(const char* name) const;
    void Send();

  protected:
    void done(int result) override;

  private:
    MessageCenter& center_;
    std::string ids_;
    std::string nicknames_;
    IniFile* settings_;
    QPlainTextEdit* text_;
    QCheckBox* highPriority_;
    QCheckBox* notify_;
    QPushButton* send_;
};

class CIncomingMessageWindow : public QDialog {
    Q_OBJECT
  public:
    CIncomingMessageWindow(MessageCenter& center, const MessageCenter::Notice& alert,
                           const std::string& imLabel, UserButtonActions actions,
                           std::function<void(const std::string&, const std::string&)> reply,
                           IniFile* settings, QWidget* parent = nullptr);

    QString SenderLine() const;
    QString TimeLine() const;
    QPushButton* ReplyButton() const { return reply_; }
    QPushButton* UserButton(const char* name) const;
    // The date and time line for a time (local time).
    static std::string FormatTime(std::uint32_t time);

  protected:
    void done(int result) override;

  private:
    MessageCenter& center_;
    std::uint64_t alertId_;
    IniFile* settings_;
    QLabel* sender_;
    QLabel* time_;
    QPushButton* reply_;
};

class CInvitationWindow : public QDialog {
    Q_OBJECT
  public:
    // accept may be null (nothing accepts that kind yet): its button stays disabled.
    CInvitationWindow(MessageCenter& center, const MessageCenter::Notice& alert,
                      std::function<void(const MessageCenter::Notice&)> accept,
                      QWidget* parent = nullptr);
    // Accept runs accept and closes the window when it returns true; a false (the join could
    // not start) keeps the window open. Null disables the button.
    void SetAccept(std::function<bool(const MessageCenter::Notice&)> accept);
    QString Text() const;
    QPushButton* AcceptButton() const { return accept_; }
    // What a forum invitation's window says under its first line: the forum's options.
    static std::string ForumOptionsText(const std::string& text);

  protected:
    void done(int result) override;

  private:
    MessageCenter& center_;
    std::uint64_t alertId_;
    QLabel* text_;
    QPushButton* accept_;
    std::function<bool(const MessageCenter::Notice&)> acceptAction_;
};

// One window per shown alert, owned by parent.
class CAlertWindowHost final : public AlertWindows {
  public:
    struct Parts {
        IniFile* settings = nullptr;
        std::string imLabel = "Instant Message";
        UserButtonActions actions;
        std::function<void(const std::string& id, const std::string& nickname)> reply;
        // Accepts website and web-tour invitations; forum invitations go through the center.
        std::function<void(const MessageCenter::Notice&)> acceptInvitation;
        QWidget* parent = nullptr;
    };
    explicit CAlertWindowHost(Parts parts) : parts_(std::move(parts)) {}
    ~CAlertWindowHost() override;

    void OpenAlertWindow(MessageCenter& center, std::uint64_t alertId) override;
    bool RaiseAlertWindow(std::int32_t kind, const std::string& senderId) override;
    void CloseAlertWindow(std::uint64_t alertId) override;
    QDialog* Window(std::uint64_t alertId) const;

  private:
    struct Open {
        QDialog* window = nullptr;
        std::int32_t kind = 0;
        std::string senderId;
    };
    Parts parts_;
    std::map<std::uint64_t, Open> open_;
};

}  // namespace qv
