#pragma once

#include "extension/records/JSONLine.hpp"
#include "extension/records/UserNameCache.hpp"
#include "platform/endpoint_security/ESTypes.h"

namespace vorla::records {

// {"auid", "egid", "euid", "gid", "group", "pid", "uid", "username"}: the ids of the token
// with their unsigned values, and the names that the databases give the real ids.
void writeAuditToken(JSONLine& line, const audit_token_t& token, UserNameCache& userNames);

// The process with its three tokens, session, team, platform flag, executable, tty and start
// time; null without a process.
void writeProcess(JSONLine& line, const es_process_t* process, UserNameCache& userNames);

} // namespace vorla::records
