#pragma once

#include "extension/records/JSONLine.hpp"
#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/ESTypes.h"

#include <nlohmann/json.hpp>

namespace vorla::records {

// {"auid", "egid", "euid", "gid", "group", "pid", "uid", "username"}: the ids of the token
// with their unsigned values, and the names that the databases give the real ids.
nlohmann::json auditTokenObject(const audit_token_t& token, UserNameCache& userNames);
// The same object written straight into a line.
void writeAuditToken(JSONLine& line, const audit_token_t& token, UserNameCache& userNames);

// The process with its three tokens, session, team, platform flag, executable, tty and start
// time; null without a process.
nlohmann::json processObject(const es_process_t* process, const RecordContext& context);

// The text of a tty path, or "unknown" when there is no tty or its path is absent.
std::string ttyText(const es_process_t& process);

// Text, or the JSON null when there is none.
nlohmann::json textOrNull(const std::optional<std::string>& text);

} // namespace vorla::records
