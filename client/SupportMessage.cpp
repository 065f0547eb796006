#include "SupportMessage.h"

#include "Formatting.h"

#include <charconv>

namespace MW::Client {

SSupportMessage TrimmedMessage(std::string_view name, std::string_view email,
                               std::string_view text) {
    return {TrimmedText(name), TrimmedText(email), TrimmedText(text)};
}

bool IsComplete(const SSupportMessage& message) {
    return !message.name.empty() && !message.email.empty() && !message.text.empty();
}

std::string RequestBody(const SSupportMessage& message) {
    return "<Request><Name>" + message.name + "</Name><Email>" + message.email +
           "</Email><RequestText>" + message.text + "</RequestText></Request>";
}

bool Delivered(long httpStatus) {
    return httpStatus >= 200 && httpStatus <= 299;
}

bool SentOn(std::string_view storedDay, int today) {
    const std::string trimmed = TrimmedText(storedDay);
    std::string_view digits = trimmed;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    int day = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), day);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return false;
    return day >= 1 && day <= 366 && day == today;
}

} // namespace MW::Client
