#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

namespace {

// The four login-window payloads share their fields; the session id goes under
// "graphical_user_id".
template <typename Session>
nlohmann::json sessionRecord(std::string_view event, const Session& session,
                             const RecordContext& context) {
    nlohmann::json fields = {{"graphical_user_id", session.graphical_session_id}};
    putText(fields, "username", session.username);
    return accessRecord(context, event, std::move(fields));
}

} // namespace

nlohmann::json lwSessionLoginRecord(const es_event_lw_session_login_t& event,
                                    const RecordContext& context) {
    return sessionRecord("lw_session_login", event, context);
}

nlohmann::json lwSessionLogoutRecord(const es_event_lw_session_logout_t& event,
                                     const RecordContext& context) {
    return sessionRecord("lw_session_logout", event, context);
}

nlohmann::json lwSessionLockRecord(const es_event_lw_session_lock_t& event,
                                   const RecordContext& context) {
    return sessionRecord("lw_session_lock", event, context);
}

nlohmann::json lwSessionUnlockRecord(const es_event_lw_session_unlock_t& event,
                                     const RecordContext& context) {
    return sessionRecord("lw_session_unlock", event, context);
}

} // namespace vorla::records
