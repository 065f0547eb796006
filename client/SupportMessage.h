#pragma once
// The Contact tab's support message: its fields, its body and the rule of one
// message a day.

#include <string>
#include <string_view>

namespace MW::Client {

struct SSupportMessage {
    std::string name;
    std::string email;
    std::string text;
};

// The fields without white space at either end (see TrimmedText); the caller's
// edits keep what was typed.
SSupportMessage TrimmedMessage(std::string_view name, std::string_view email,
                               std::string_view text);
// Whether every field holds something.
bool IsComplete(const SSupportMessage& message);

// The request body, UTF-8: the three values put in as they are, without escaping.
std::string RequestBody(const SSupportMessage& message);

// Whether an HTTP status says the support server took the message: only a 2xx
// answer does. Anything else (a 404, a 500, a captive portal's page) is a failure
// and must not use up the day's one message.
bool Delivered(long httpStatus);

// Whether the stored day of the last message (a day of the year as text) forbids
// another one on `today` (1 to 366, local time). Only a whole number naming
// today does; anything else stored (another day, text, nothing) lets it go.
bool SentOn(std::string_view storedDay, int today);

} // namespace MW::Client
