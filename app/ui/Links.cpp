#include "app/ui/Links.hpp"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include <array>

namespace vorla::app {

namespace {

bool isQueryAllowed(unsigned char byte) {
    constexpr std::string_view punctuation = "!$&'()*+,-./:;=?@_~";
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') ||
           punctuation.find(static_cast<char>(byte)) != punctuation.npos;
}

bool isValidUtf8(std::string_view text) {
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

std::optional<std::string> percentEncodeQuery(std::string_view text) {
    if (!isValidUtf8(text)) {
        return std::nullopt;
    }
    constexpr std::array<char, 16> hexDigits{'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    std::string encoded;
    encoded.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (isQueryAllowed(byte)) {
            encoded.push_back(character);
        } else {
            encoded.push_back('%');
            encoded.push_back(hexDigits[byte >> 4]);
            encoded.push_back(hexDigits[byte & 0x0F]);
        }
    }
    return encoded;
}

std::optional<std::string> mailToAddress(const std::optional<std::string>& emailAddress) {
    const std::string address = emailAddress.value_or(std::string(defaultEmailAddress));
    return percentEncodeQuery("mailto:" + address + "?subject=hello");
}

void openAddress(const std::optional<std::string>& address) {
    if (!address || address->empty()) {
        return;
    }
    const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(*address), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        return;
    }
    QDesktopServices::openUrl(url);
}

} // namespace vorla::app
