#include "app/ui/ConfigPane.hpp"

#include "app/ui/Divider.hpp"
#include "app/ui/Localized.hpp"
#include "app/ui/Row.hpp"
#include "platform/environment/Environment.hpp"

#include <QVBoxLayout>

namespace vorla::app {

namespace {
std::string joined(const std::string& basePath, const std::string& fileName) {
    return basePath + "/" + fileName;
}

bool isShellSafe(unsigned char byte) {
    constexpr std::string_view punctuation = "/._-+,:@%";
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') || byte >= 0x80 ||
           punctuation.find(static_cast<char>(byte)) != punctuation.npos;
}
} // namespace

ConfigPane::ConfigPane(std::string basePath, std::string configPath, std::string auditLogPath,
                       std::string accessLogPath, std::string errorlogPath, QClipboard& pasteboard,
                       QWidget* parent)
    : QWidget(parent) {
    const std::pair<const char*, std::string> entries[] = {
        {"configuration location", joined(basePath, configPath)},
        {"audit log location", joined(basePath, auditLogPath)},
        {"access log location", joined(basePath, accessLogPath)},
        {"error log location", joined(basePath, errorlogPath)},
    };
    auto* list = new QVBoxLayout(this);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(0);
    for (const auto& [caption, path] : entries) {
        if (!rows_.empty()) {
            list->addWidget(new Divider(this));
        }
        rows_.push_back(new Row(localized(caption), path, pasteboard, this));
        list->addWidget(rows_.back());
    }
    list->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

std::string extensionSupportFolder() {
    return platform::systemPath("/Library/Application Support/Vorla");
}

// The copied paths name the files the extension writes, which lie under VORLA_ROOT too.
ConfigPane* makeExtensionPathsPane(QClipboard& pasteboard, const std::string& supportFolder) {
    return new ConfigPane(shellEscaped(supportFolder), "config.yaml", "audit.log", "access.log",
                          "error.log", pasteboard);
}

std::string shellEscaped(std::string_view path) {
    std::string escaped;
    escaped.reserve(path.size() + 8);
    for (const char character : path) {
        if (character == '\n') {
            escaped += "'\n'";
        } else {
            if (!isShellSafe(static_cast<unsigned char>(character))) {
                escaped.push_back('\\');
            }
            escaped.push_back(character);
        }
    }
    return escaped;
}

} // namespace vorla::app
