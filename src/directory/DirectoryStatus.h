#pragma once

// Status codes that directory callbacks receive, and the texts the client makes up itself.

namespace qv {

inline constexpr int kStatusSuccess = 1;
inline constexpr int kStatusFailure = -1;
inline constexpr int kStatusInvalidLogin = -8;
inline constexpr int kStatusAlreadyPresent = -9;
inline constexpr int kStatusNotPresent = 10;

// Reported at once when the client is not open or the last login was refused; also the reply
// that held requests get when the login fails; also the string table's entry 151.
inline constexpr const char* kNotConnectedMessage =
    "Error: Not connected to database.  Check your internet conection and try again or exit and "
    "restart Quorvane.";

// The reply of a request whose last attempt failed in transfer.
inline constexpr const char* kRetriesExhaustedReply =
    "INVALID Error accessing database.  Check your internet connection and try again.";

}  // namespace qv
