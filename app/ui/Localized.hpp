#pragma once

#include <QCoreApplication>
#include <QString>

namespace vorla::app {

// A fixed user-visible text. The key is the English text, so it shows as it is until a
// translation is installed.
inline QString localized(const char* key) {
    return QCoreApplication::translate("vorla", key);
}

} // namespace vorla::app
