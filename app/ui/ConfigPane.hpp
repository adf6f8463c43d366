#pragma once

#include <QMargins>
#include <QWidget>

#include <string>
#include <string_view>
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

// The extension's support folder, "/Library/Application Support/Vorla" under VORLA_ROOT.
std::string extensionSupportFolder();

// The paths pane with the extension's own file names in the given support folder, whose path
// is shell-escaped first.
ConfigPane* makeExtensionPathsPane(QClipboard& pasteboard,
                                   const std::string& supportFolder = extensionSupportFolder());

// A path as a shell reads it back: a backslash before each character that the shell would
// otherwise take for an operator, a quote, an expansion, a pattern or a word break ("\ " for
// a space), and a line break in single quotes, where a backslash would join the lines.
// Letters, digits, bytes beyond ASCII and /._-+,:@% stay as they are.
std::string shellEscaped(std::string_view path);

} // namespace vorla::app
