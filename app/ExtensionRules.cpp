#include "app/ExtensionRules.hpp"

#include <algorithm>
#include <array>

namespace vorla::app {

namespace {

using system_extensions::ErrorCode;

struct ErrorTexts {
    ErrorCode code;
    std::string_view statusText;
    std::string_view commandLineMessage;
};

// The superseded request has no single command-line line: the loader prints two of its own.
constexpr std::array<ErrorTexts, 13> errorTable{{
    {ErrorCode::unknown, "Unknown extension error", "Unknown extension error"},
    {ErrorCode::missingEntitlement, "Missing entitlement", "Missing entitlement"},
    {ErrorCode::unsupportedParentBundleLocation, "Move app to /Applications",
     "Move app to /Applications"},
    {ErrorCode::extensionNotFound, "Vorla extension not found", "vorla extension not found"},
    {ErrorCode::extensionMissingIdentifier, "Missing System Extension ID",
     "Missing System Extension ID"},
    {ErrorCode::duplicateExtensionIdentifer, "Duplicate System Extension ID",
     "Duplicate System Extension ID"},
    {ErrorCode::unknownExtensionCategory, "Unknown System Extension category",
     "Unknown System Extension category"},
    {ErrorCode::codeSignatureInvalid, "Invalid System Extension signature",
     "Invalid System Extension signature"},
    {ErrorCode::validationFailed, "Invalid System Extension", "Invalid System Extension"},
    {ErrorCode::forbiddenBySystemPolicy, "Not allowed to load System Extension",
     "Not allowed to load System Extension"},
    {ErrorCode::requestCanceled, "Request cancelled", "Request cancelled"},
    {ErrorCode::requestSuperseded, "Request already pending", "Request already pending"},
    {ErrorCode::authorizationRequired, "Not authorized to perform action",
     "Not authorized to perform action"},
}};

constexpr ErrorTexts unknownError{ErrorCode::unknown, "Unknown error", "Unknown error"};

const ErrorTexts& textsFor(const system_extensions::Error& error) {
    if (!error.isSystemExtensionError()) {
        return unknownError;
    }
    const auto found = std::find_if(errorTable.begin(), errorTable.end(), [&](const auto& row) {
        return static_cast<long>(row.code) == error.code;
    });
    return found == errorTable.end() ? unknownError : *found;
}

} // namespace

std::optional<system_extensions::Properties>
matchingProperties(const std::vector<system_extensions::Properties>& properties,
                   std::string_view identifier) {
    const auto found = std::find_if(properties.begin(), properties.end(), [&](const auto& record) {
        return record.bundleIdentifier == identifier &&
               (record.isEnabled || record.isAwaitingUserApproval);
    });
    if (found == properties.end()) {
        return std::nullopt;
    }
    return *found;
}

std::string_view statusTextForError(const system_extensions::Error& error) {
    return textsFor(error).statusText;
}

std::string_view commandLineMessageForError(const system_extensions::Error& error) {
    return textsFor(error).commandLineMessage;
}

} // namespace vorla::app
