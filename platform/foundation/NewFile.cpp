#include "platform/foundation/NewFile.hpp"

#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace vorla::foundation {

NewFile::NewFile(int folder, std::string temporaryName, FileHandle handle)
    : folder_(folder), temporaryName_(std::move(temporaryName)), handle_(std::move(handle)) {}

NewFile::NewFile(NewFile&& other) noexcept
    : folder_(other.folder_), temporaryName_(std::exchange(other.temporaryName_, {})),
      handle_(std::move(other.handle_)) {}

NewFile::~NewFile() {
    if (!temporaryName_.empty()) {
        ::unlinkat(folder_, temporaryName_.c_str(), 0);
    }
}

} // namespace vorla::foundation
