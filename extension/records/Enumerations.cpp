#include "extension/records/Enumerations.hpp"

#include <array>

namespace vorla::records {

SourceAddrType sourceAddrTypeFromValue(uint32_t value) {
    return value <= 3 ? static_cast<SourceAddrType>(value) : SourceAddrType::none;
}

std::string_view toString(SourceAddrType type) {
    static constexpr std::array<std::string_view, 4> names = {"none", "ipv4", "ipv6",
                                                              "named_socket"};
    return names[static_cast<size_t>(type)];
}

SshLoginResult sshLoginResultFromValue(uint32_t value) {
    return value <= 9 ? static_cast<SshLoginResult>(value) : SshLoginResult::authFailNone;
}

std::string_view toString(SshLoginResult result) {
    static constexpr std::array<std::string_view, 10> names = {"login_exceeded_max_tries",
                                                               "login_root_denied",
                                                               "auth_success",
                                                               "auth_fail_none",
                                                               "auth_fail_password",
                                                               "auth_fail_kbdint",
                                                               "auth_fail_public_key",
                                                               "auth_fail_host_based",
                                                               "auth_fail_GSSAPI",
                                                               "invalid_user"};
    return names[static_cast<size_t>(result)];
}

AuthType authTypeFromValue(uint32_t value) {
    switch (value) {
    case 0:
        return AuthType::od;
    case 1:
        return AuthType::touchID;
    case 2:
        return AuthType::token;
    case 3:
        return AuthType::autoUnlock;
    default:
        return AuthType::unknown;
    }
}

std::string_view toString(AuthType type) {
    static constexpr std::array<std::string_view, 5> names = {"od", "token", "touchID",
                                                              "auto unlock", "unknown"};
    return names[static_cast<size_t>(type)];
}

TouchIdMode touchIdModeFromValue(uint32_t value) {
    return value <= 1 ? static_cast<TouchIdMode>(value) : TouchIdMode::unknown;
}

std::string_view toString(TouchIdMode mode) {
    static constexpr std::array<std::string_view, 3> names = {"verification", "identification",
                                                              "unknown"};
    return names[static_cast<size_t>(mode)];
}

AutoUnlockType autoUnlockTypeFromValue(uint32_t value) {
    switch (value) {
    case 1:
        return AutoUnlockType::machineUnlock;
    case 2:
        return AutoUnlockType::authPrompt;
    default:
        return AutoUnlockType::unknown;
    }
}

std::string_view toString(AutoUnlockType type) {
    static constexpr std::array<std::string_view, 3> names = {
        "machine_unlock_by_apple_watch", "aurhorized_by_apple_watch", "unknown"};
    return names[static_cast<size_t>(type)];
}

} // namespace vorla::records
