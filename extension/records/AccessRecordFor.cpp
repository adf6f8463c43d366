#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

std::optional<nlohmann::json> accessRecordFor(const es_message_t& message,
                                              const RecordContext& context) {
    const es_events_t& event = message.event;
    switch (message.event_type) {
    case ES_EVENT_TYPE_NOTIFY_KEXTLOAD:
        return kextloadRecord(event.kextload, context);
    case ES_EVENT_TYPE_NOTIFY_KEXTUNLOAD:
        return kextunloadRecord(event.kextunload, context);
    case ES_EVENT_TYPE_NOTIFY_MOUNT:
        return mountRecord(event.mount, context);
    case ES_EVENT_TYPE_NOTIFY_UNMOUNT:
        return unmountRecord(event.unmount, context);
    case ES_EVENT_TYPE_NOTIFY_AUTHENTICATION:
        return authenticationRecord(orDefault(event.authentication), context);
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGIN:
        return lwSessionLoginRecord(orDefault(event.lw_session_login), context);
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOGOUT:
        return lwSessionLogoutRecord(orDefault(event.lw_session_logout), context);
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_LOCK:
        return lwSessionLockRecord(orDefault(event.lw_session_lock), context);
    case ES_EVENT_TYPE_NOTIFY_LW_SESSION_UNLOCK:
        return lwSessionUnlockRecord(orDefault(event.lw_session_unlock), context);
    case ES_EVENT_TYPE_NOTIFY_SCREENSHARING_ATTACH:
        return screensharingAttachRecord(orDefault(event.screensharing_attach), context);
    case ES_EVENT_TYPE_NOTIFY_SCREENSHARING_DETACH:
        return screensharingDetachRecord(orDefault(event.screensharing_detach), context);
    case ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGIN:
        return opensshLoginRecord(orDefault(event.openssh_login), context);
    case ES_EVENT_TYPE_NOTIFY_OPENSSH_LOGOUT:
        return opensshLogoutRecord(orDefault(event.openssh_logout), context);
    case ES_EVENT_TYPE_NOTIFY_LOGIN_LOGIN:
        return loginLoginRecord(orDefault(event.login_login), context);
    case ES_EVENT_TYPE_NOTIFY_LOGIN_LOGOUT:
        return loginLogoutRecord(orDefault(event.login_logout), context);
    case ES_EVENT_TYPE_NOTIFY_SU:
        return suRecord(orDefault(event.su), context);
    case ES_EVENT_TYPE_NOTIFY_SUDO:
        return sudoRecord(orDefault(event.sudo), context);
    default:
        return std::nullopt;
    }
}

} // namespace vorla::records
