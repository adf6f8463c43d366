#pragma once

#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/ESMessage.h"

#include <nlohmann/json.hpp>

namespace vorla::records {

// One access-log record per payload: {"log": {"event": ..., fields}, "timestamp": now}.

nlohmann::json kextloadRecord(const es_event_kextload_t& event, const RecordContext& context);
nlohmann::json kextunloadRecord(const es_event_kextunload_t& event, const RecordContext& context);
nlohmann::json mountRecord(const es_event_mount_t& event, const RecordContext& context);
nlohmann::json unmountRecord(const es_event_unmount_t& event, const RecordContext& context);
nlohmann::json suRecord(const es_event_su_t& event, const RecordContext& context);
nlohmann::json iokitOpenRecord(const es_event_iokit_open_t& event, const RecordContext& context);

nlohmann::json lwSessionLoginRecord(const es_event_lw_session_login_t& event,
                                    const RecordContext& context);
nlohmann::json lwSessionLogoutRecord(const es_event_lw_session_logout_t& event,
                                     const RecordContext& context);
nlohmann::json lwSessionLockRecord(const es_event_lw_session_lock_t& event,
                                   const RecordContext& context);
nlohmann::json lwSessionUnlockRecord(const es_event_lw_session_unlock_t& event,
                                     const RecordContext& context);

nlohmann::json loginLoginRecord(const es_event_login_login_t& event, const RecordContext& context);
nlohmann::json loginLogoutRecord(const es_event_login_logout_t& event,
                                 const RecordContext& context);
nlohmann::json opensshLoginRecord(const es_event_openssh_login_t& event,
                                  const RecordContext& context);
nlohmann::json opensshLogoutRecord(const es_event_openssh_logout_t& event,
                                   const RecordContext& context);

nlohmann::json screensharingAttachRecord(const es_event_screensharing_attach_t& event,
                                         const RecordContext& context);
nlohmann::json screensharingDetachRecord(const es_event_screensharing_detach_t& event,
                                         const RecordContext& context);

// Null (a record that writes nothing, which the encoder refuses) for a type of 4 or more.
nlohmann::json authenticationRecord(const es_event_authentication_t& event,
                                    const RecordContext& context);

nlohmann::json sudoRecord(const es_event_sudo_t& event, const RecordContext& context);
nlohmann::json setmodeRecord(const es_event_setmode_t& event, const RecordContext& context);
nlohmann::json setownerRecord(const es_event_setowner_t& event, const RecordContext& context);

} // namespace vorla::records
