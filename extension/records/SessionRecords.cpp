#include "extension/records/AccessRecords.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

namespace {

// The four login-window payloads share their fields; the session id goes under
// "graphical_user_id".
template <typename Session>
std::string sessionRecord(std::string_view event, const Session& session,
                          const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string(event);
    line.key("graphical_user_id").number(session.graphical_session_id);
    writeIfPresent(line, "username", tokenView(session.username));
    return endAccessRecord(line, context);
}

} // namespace

std::string lwSessionLoginRecord(const es_event_lw_session_login_t& event,
                                 const RecordContext& context) {
    return sessionRecord("lw_session_login", event, context);
}

std::string lwSessionLogoutRecord(const es_event_lw_session_logout_t& event,
                                  const RecordContext& context) {
    return sessionRecord("lw_session_logout", event, context);
}

std::string lwSessionLockRecord(const es_event_lw_session_lock_t& event,
                                const RecordContext& context) {
    return sessionRecord("lw_session_lock", event, context);
}

std::string lwSessionUnlockRecord(const es_event_lw_session_unlock_t& event,
                                  const RecordContext& context) {
    return sessionRecord("lw_session_unlock", event, context);
}

} // namespace vorla::records
