#pragma once

#include "platform/foundation/FileManager.hpp"

#include <cerrno>

namespace vorla::testing {

// A file manager whose folder synchronisation fails, as a disk that lost the write would.
class FolderSyncFailure : public foundation::FileManager {
public:
    void synchronize(const foundation::Folder& folder) const override {
        errno = EIO;
        foundation::throwSystemError("could not synchronize", folder.path());
    }
    using FileManager::synchronize;
};

} // namespace vorla::testing
