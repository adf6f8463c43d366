#pragma once

#include <optional>
#include <string>
#include <string_view>

// The outside addresses of the popover and how they are opened.
namespace vorla::app {

// The product web site of the About pane's two buttons.
inline constexpr std::string_view productSite = "https://vorla.example";
// The mail address used when the Info.plist names none.
inline constexpr std::string_view defaultEmailAddress = "hello@vorla.example";

// Percent-encodes every byte outside the URL-query-allowed set (letters, digits and
// !$&'()*+,-./:;=?@_~). Text that is not valid UTF-8 cannot be encoded and gives nothing.
std::optional<std::string> percentEncodeQuery(std::string_view text);

// "mailto:" + the address (the default when absent) + "?subject=hello", query-encoded.
std::optional<std::string> mailToAddress(const std::optional<std::string>& emailAddress);

// Opens an address with the desktop's handler. Nothing happens when the text is absent or does
// not parse as a URL; whether the handler succeeds is not reported to the user.
void openAddress(const std::optional<std::string>& address);

} // namespace vorla::app
