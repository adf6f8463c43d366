#pragma once

#include "extension/records/RecordContext.hpp"
#include "platform/endpoint_security/EndpointSecurity.h"

#include <map>
#include <string>
#include <string_view>

namespace vorla::records {

// The line of the "json" audit format, {"log": {...}, "timestamp": start time}, written
// straight in its sorted key order; valid UTF-8 whatever the message holds.
std::string execRecord(const es_message_t& message, const RecordContext& context);

// The EXECVE and SYSCALL records of the Linux audit system for an execution, joined by one
// line feed. Values that are not plain printable ASCII are written as upper-case hex of their
// bytes, as the audit system writes untrusted strings, so no value can forge a field or line.
std::string formatExecAuditd(const es_message_t& message);

// The user's template with every "${key}" block of a known key replaced by its value.
std::string formatExecCustom(const es_message_t& message, std::string_view customLogFormat,
                             const RecordContext& context);

// Replaces, in one pass over the template, each "${key}" whose key has a value; other blocks
// stay as they are. Replaced values are never searched for blocks again.
std::string substituteVariables(std::string_view format,
                                const std::map<std::string, std::string, std::less<>>& values);

} // namespace vorla::records
