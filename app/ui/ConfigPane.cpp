#include "app/ui/ConfigPane.hpp"

#include "app/ui/Divider.hpp"
#include "app/ui/Localized.hpp"
#include "app/ui/Row.hpp"

#include <QVBoxLayout>

namespace vorla::app {

namespace {
std::string joined(const std::string& basePath, const std::string& fileName) {
    return basePath + "/" + fileName;
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

ConfigPane* makeExtensionPathsPane(QClipboard& pasteboard) {
    return new ConfigPane("/Library/Application\\ Support/Vorla", "config.yaml", "audit.log",
                          "access.log", "error.log", pasteboard);
}

} // namespace vorla::app
