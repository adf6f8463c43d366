#pragma once

#include <QMargins>
#include <QWidget>

#include <string>
#include <vector>

class QClipboard;

namespace vorla::app {

class Row;

// The Paths tab: the extension's configuration file and its three logs, each with a button
// that copies the file's path. The paths are written as a shell would want them, with the
// space escaped, and are not shown.
class ConfigPane : public QWidget {
public:
    ConfigPane(std::string basePath, std::string configPath, std::string auditLogPath,
               std::string accessLogPath, std::string errorlogPath, QClipboard& pasteboard,
               QWidget* parent = nullptr);

    // How far the list reaches beyond the padding of the tab area.
    static QMargins listOutsets() { return {30, 15, 30, 20}; }

    const std::vector<Row*>& rows() const { return rows_; }

private:
    std::vector<Row*> rows_;
};

// The paths pane with the extension's own folder and file names.
ConfigPane* makeExtensionPathsPane(QClipboard& pasteboard);

} // namespace vorla::app
