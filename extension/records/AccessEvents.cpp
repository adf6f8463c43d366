#include "extension/records/AccessEvents.hpp"

#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

#include <algorithm>
#include <array>
#include <type_traits>

namespace vorla::records {

namespace {

// The record maker of one member of the event union, held in place or through a pointer.
template <auto member, auto makeRecord>
std::string recordOf(const es_message_t& message, const RecordContext& context) {
    const auto& payload = message.event.*member;
    if constexpr (std::is_pointer_v<std::remove_cvref_t<decltype(payload)>>) {
        return makeRecord(orDefault(payload), context);
    } else {
        return makeRecord(payload, context);
    }
}

constexpr std::array<AccessEvent, 17> table{{
    {ES_EVENT_TYPE_NOTIFY_AUTHENTICATION,
     recordOf<&es_events_t::authentication, authenticationRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_SCREENSHARING_ATTACH,
     recordOf<&es_events_t::screensharing_attach, screensharingAttachRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_SCREENSHARING_DETACH,
     recordOf<&es_events_t::screensharing_detach, screensharingDetachRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGIN, recordOf<&es_events_t::openssh_login, opensshLoginRecord>,
     false},
    {ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGOUT,
     recordOf<&es_events_t::openssh_logout, opensshLogoutRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_LOGIN_LOGIN, recordOf<&es_events_t::login_login, loginLoginRecord>,
     false},
    {ES_EVENT_TYPE_NOTIFY_LOGIN_LOGOUT, recordOf<&es_events_t::login_logout, loginLogoutRecord>,
     false},
    {ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOCK,
     recordOf<&es_events_t::lw_session_lock, lwSessionLockRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_LW_SESSION_UNLOCK,
     recordOf<&es_events_t::lw_session_unlock, lwSessionUnlockRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGIN,
     recordOf<&es_events_t::lw_session_login, lwSessionLoginRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGOUT,
     recordOf<&es_events_t::lw_session_logout, lwSessionLogoutRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_MOUNT, recordOf<&es_events_t::mount, mountRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_UNMOUNT, recordOf<&es_events_t::unmount, unmountRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_KEXTLOAD, recordOf<&es_events_t::kextload, kextloadRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_KEXTUNLOAD, recordOf<&es_events_t::kextunload, kextunloadRecord>, false},
    {ES_EVENT_TYPE_NOTIFY_SU, recordOf<&es_events_t::su, suRecord>, true},
    {ES_EVENT_TYPE_NOTIFY_SUDO, recordOf<&es_events_t::sudo, sudoRecord>, true},
}};

} // namespace

std::span<const AccessEvent> accessEvents() {
    return table;
}

std::optional<std::string> accessRecordFor(const es_message_t& message,
                                           const RecordContext& context, bool suAndSudoExist) {
    const auto event = std::find_if(table.begin(), table.end(), [&message](const auto& entry) {
        return entry.type == message.event_type;
    });
    if (event == table.end() || (event->needsVersion14 && !suAndSudoExist)) {
        return std::nullopt;
    }
    return event->record(message, context);
}

} // namespace vorla::records
