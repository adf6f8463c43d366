#pragma once

#include "platform/foundation/FileHandle.hpp"

#include <string>

namespace vorla::foundation {

// A file being written under a hidden temporary name of its folder ("." + its final name +
// ".tmp-" + six random characters): it takes its final name only when finished
// (FileManager::giveName), so nobody ever sees it half-written. One that goes away unnamed
// takes its temporary file with it. Its folder must outlive it.
class NewFile {
public:
    NewFile(int folder, std::string temporaryName, FileHandle handle);
    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&&) = delete;
    ~NewFile();

    FileHandle& handle() { return handle_; }
    const std::string& temporaryName() const { return temporaryName_; }
    // Called once the file has its final name: nothing is left to remove.
    void named() { temporaryName_.clear(); }

private:
    int folder_;
    std::string temporaryName_;
    FileHandle handle_;
};

} // namespace vorla::foundation
