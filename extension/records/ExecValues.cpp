#include "extension/records/ExecValues.hpp"

#include "extension/records/RecordContext.hpp"

namespace vorla::records {

namespace {

constexpr cpu_type_t cpuTypeX86_64 = 16777223;
constexpr cpu_type_t cpuTypeARM64 = 16777228;

std::vector<std::string_view> tokenList(const es_event_exec_t& exec, TokenCount count,
                                        TokenAt item) {
    std::vector<std::string_view> list;
    list.reserve(count(&exec));
    forEachToken(exec, count, item, [&list](std::string_view bytes) { list.push_back(bytes); });
    return list;
}

} // namespace

std::vector<std::string_view> execArguments(const es_event_exec_t& exec) {
    return tokenList(exec, es_exec_arg_count, es_exec_arg);
}

std::vector<std::string_view> execEnvironment(const es_event_exec_t& exec) {
    return tokenList(exec, es_exec_env_count, es_exec_env);
}

ExecutionTime executionTime(const es_message_t& message) {
    const es_process_t* target = message.event.exec.target;
    if (message.version >= 3 && target) {
        return {target->start_time.tv_sec, dateOf(target->start_time)};
    }
    return {message.time.tv_sec, dateOf(message.time)};
}

std::string_view architectureName(cpu_type_t cpuType) {
    switch (cpuType) {
    case cpuTypeX86_64:
        return "x86_64";
    case cpuTypeARM64:
        return "arm64";
    default:
        return "unknown";
    }
}

std::optional<std::string> execTTY(const es_message_t& message) {
    const es_process_t* target = message.event.exec.target;
    if (message.version < 2 || !target || !target->tty) {
        return std::nullopt;
    }
    auto bytes = tokenBytes(target->tty->path);
    if (!bytes || bytes->empty()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace vorla::records
