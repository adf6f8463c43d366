#pragma once

#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/ESMessage.h"

#include <string>

namespace vorla::records {

// One access-log line per payload, {"log": {"event": ..., fields}, "timestamp": now}, with the
// keys of every object in byte order and valid UTF-8 whatever the payload holds.

std::string kextloadRecord(const es_event_kextload_t& event, const RecordContext& context);
std::string kextunloadRecord(const es_event_kextunload_t& event, const RecordContext& context);
std::string mountRecord(const es_event_mount_t& event, const RecordContext& context);
std::string unmountRecord(const es_event_unmount_t& event, const RecordContext& context);
std::string suRecord(const es_event_su_t& event, const RecordContext& context);
std::string iokitOpenRecord(const es_event_iokit_open_t& event, const RecordContext& context);

std::string lwSessionLoginRecord(const es_event_lw_session_login_t& event,
                                 const RecordContext& context);
std::string lwSessionLogoutRecord(const es_event_lw_session_logout_t& event,
                                  const RecordContext& context);
std::string lwSessionLockRecord(const es_event_lw_session_lock_t& event,
                                const RecordContext& context);
std::string lwSessionUnlockRecord(const es_event_lw_session_unlock_t& event,
                                  const RecordContext& context);

std::string loginLoginRecord(const es_event_login_login_t& event, const RecordContext& context);
std::string loginLogoutRecord(const es_event_login_logout_t& event, const RecordContext& context);
std::string opensshLoginRecord(const es_event_openssh_login_t& event, const RecordContext& context);
std::string opensshLogoutRecord(const es_event_openssh_logout_t& event,
                                const RecordContext& context);

std::string screensharingAttachRecord(const es_event_screensharing_attach_t& event,
                                      const RecordContext& context);
std::string screensharingDetachRecord(const es_event_screensharing_detach_t& event,
                                      const RecordContext& context);

// For a type of 4 or more the record writes nothing, which the access log refuses as the
// encoder refuses an empty value: throws the encoder's error.
std::string authenticationRecord(const es_event_authentication_t& event,
                                 const RecordContext& context);

std::string sudoRecord(const es_event_sudo_t& event, const RecordContext& context);
std::string setmodeRecord(const es_event_setmode_t& event, const RecordContext& context);
std::string setownerRecord(const es_event_setowner_t& event, const RecordContext& context);

} // namespace vorla::records
