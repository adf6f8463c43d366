#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace vorla::testing {

// The unified-log mirror of this test program. The stand-in reads its environment once, so
// the file is chosen while the program starts, before the first entry.
inline const std::string logMirrorPath = [] {
    const std::string path = "/tmp/vorla-oslog-" + std::to_string(::getpid()) + ".log";
    std::remove(path.c_str());
    setenv("VORLA_OSLOG_FILE", path.c_str(), 1);
    return path;
}();

inline std::string logMirrorText() {
    std::ifstream file(logMirrorPath);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace vorla::testing
