#include "extension/records/AccessRecords.hpp"
#include "extension/records/Enumerations.hpp"
#include "extension/records/RecordFields.hpp"

namespace vorla::records {

nlohmann::json loginLoginRecord(const es_event_login_login_t& event, const RecordContext& context) {
    return accessRecord(context, "login",
                        {
                            {"failure_message", textOrEmpty(event.failure_message)},
                            {"has_uid", event.has_uid},
                            {"success", event.success},
                            {"uid", event.uid},
                            {"username", textOrEmpty(event.username)},
                        });
}

nlohmann::json loginLogoutRecord(const es_event_login_logout_t& event,
                                 const RecordContext& context) {
    return accessRecord(context, "logout",
                        {
                            {"uid", event.uid},
                            {"username", textOrEmpty(event.username)},
                        });
}

nlohmann::json opensshLoginRecord(const es_event_openssh_login_t& event,
                                  const RecordContext& context) {
    return accessRecord(
        context, "openssh_login",
        {
            {"has_uid", event.has_uid},
            {"result_type", toString(sshLoginResultFromValue(event.result_type))},
            {"source_address", textOrEmpty(event.source_address)},
            {"source_address_type", toString(sourceAddrTypeFromValue(event.source_address_type))},
            {"success", event.success},
            {"uid", event.uid},
            {"username", textOrEmpty(event.username)},
        });
}

nlohmann::json opensshLogoutRecord(const es_event_openssh_logout_t& event,
                                   const RecordContext& context) {
    return accessRecord(
        context, "openssh_logout",
        {
            {"source_address", textOrEmpty(event.source_address)},
            {"source_address_type", toString(sourceAddrTypeFromValue(event.source_address_type))},
            {"uid", event.uid},
            {"username", textOrEmpty(event.username)},
        });
}

} // namespace vorla::records
