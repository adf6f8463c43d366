#include "extension/records/AccessRecords.hpp"
#include "extension/records/Enumerations.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

namespace {

void writeUser(JSONLine& line, uid_t uid, const es_string_token_t& username) {
    line.key("uid").number(uid);
    line.key("username").string(bytesOrEmpty(username));
}

} // namespace

std::string loginLoginRecord(const es_event_login_login_t& event, const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("login");
    line.key("failure_message").string(bytesOrEmpty(event.failure_message));
    line.key("has_uid").boolean(event.has_uid);
    line.key("success").boolean(event.success);
    writeUser(line, event.uid, event.username);
    return endAccessRecord(line, context);
}

std::string loginLogoutRecord(const es_event_login_logout_t& event, const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("logout");
    writeUser(line, event.uid, event.username);
    return endAccessRecord(line, context);
}

std::string opensshLoginRecord(const es_event_openssh_login_t& event,
                               const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("openssh_login");
    line.key("has_uid").boolean(event.has_uid);
    line.key("result_type").string(toString(sshLoginResultFromValue(event.result_type)));
    writeSourceAddress(line, event.source_address, event.source_address_type);
    line.key("success").boolean(event.success);
    writeUser(line, event.uid, event.username);
    return endAccessRecord(line, context);
}

std::string opensshLogoutRecord(const es_event_openssh_logout_t& event,
                                const RecordContext& context) {
    JSONLine line = beginAccessRecord();
    line.key("event").string("openssh_logout");
    writeSourceAddress(line, event.source_address, event.source_address_type);
    writeUser(line, event.uid, event.username);
    return endAccessRecord(line, context);
}

} // namespace vorla::records
