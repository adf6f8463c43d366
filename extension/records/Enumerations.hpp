#pragma once

#include <cstdint>
#include <string_view>

namespace vorla::records {

// The string-valued enumerations of the access records. Each fromValue maps the number that
// the service delivers, with the fallback for numbers that name no case.

enum class SourceAddrType { none, ipv4, ipv6, namedSocket };
SourceAddrType sourceAddrTypeFromValue(uint32_t value);
std::string_view toString(SourceAddrType type);

enum class SshLoginResult {
    loginExceededMaxtries,
    loginRootDenied,
    authSuccess,
    authFailNone,
    authFailPasswd,
    authFailKbdint,
    authFailPubkey,
    authFailHostBased,
    authFailGSSAPI,
    invalidUser,
};
SshLoginResult sshLoginResultFromValue(uint32_t value);
std::string_view toString(SshLoginResult result);

// The payload's values 1 and 2 map crosswise onto touchID and token.
enum class AuthType { od, token, touchID, autoUnlock, unknown };
AuthType authTypeFromValue(uint32_t value);
std::string_view toString(AuthType type);

enum class TouchIdMode { verification, identification, unknown };
TouchIdMode touchIdModeFromValue(uint32_t value);
std::string_view toString(TouchIdMode mode);

enum class AutoUnlockType { machineUnlock, authPrompt, unknown };
AutoUnlockType autoUnlockTypeFromValue(uint32_t value);
std::string_view toString(AutoUnlockType type);

} // namespace vorla::records
