#pragma once

#include <cstdint>
#include <string_view>
#include <version>

#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

namespace vorla::logging {

#if defined(__cpp_lib_source_location)
using SourceLocation = std::source_location;
#else
// clang 14 over libstdc++ 12 lacks std::source_location; the compiler builtins behind it give
// the same call-site values when used as default arguments.
class SourceLocation {
public:
    static constexpr SourceLocation current(const char* file = __builtin_FILE(),
                                            const char* function = __builtin_FUNCTION(),
                                            std::uint_least32_t line = __builtin_LINE()) {
        return SourceLocation(file, function, line);
    }
    constexpr const char* file_name() const { return file_; }
    constexpr const char* function_name() const { return function_; }
    constexpr std::uint_least32_t line() const { return line_; }

private:
    constexpr SourceLocation(const char* file, const char* function, std::uint_least32_t line)
        : file_(file), function_(function), line_(line) {}
    const char* file_;
    const char* function_;
    std::uint_least32_t line_;
};
#endif

// Where a record was made: the file identifier ("<folder>/<file name>"), the function and the
// line. Taken implicitly from the call's source location; its texts refer to the compiler's
// static strings (or to the caller's, when given explicitly), so it costs nothing to pass.
struct CallSite {
    CallSite(SourceLocation location);
    CallSite(std::string_view fileID, std::string_view functionName, std::uint64_t lineNumber)
        : file(fileID), function(functionName), line(lineNumber) {}

    std::string_view file;
    std::string_view function;
    std::uint64_t line;
};

// The file identifier of a path: its last two components ("extension/client.cpp" for
// "/src/extension/client.cpp"), the path as it is when it has fewer.
std::string_view fileIDOfPath(std::string_view path);

} // namespace vorla::logging
