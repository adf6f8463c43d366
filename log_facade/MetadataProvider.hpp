#pragma once

#include "log_facade/MetadataValue.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorla::logging {

// A source of contextual metadata, asked once per record on the logging thread. Its callable
// may run on any thread at any time, so it must be safe to share between threads. Copies share
// the callable.
class MetadataProvider {
public:
    using Function = std::function<Metadata()>;

    explicit MetadataProvider(Function provideMetadata);

    Metadata get() const;

    // One provider that asks each of `providers` in order and merges their maps, a later
    // provider's value winning over an earlier one's. Always present, also for an empty list.
    static std::optional<MetadataProvider> multiplex(std::vector<MetadataProvider> providers);

private:
    std::shared_ptr<const Function> provideMetadata_;
};

// Merges `source` into `target`, a key already present taking the value of `source`.
void mergeOverwriting(Metadata& target, const Metadata& source);

// One entry of a handler's own metadata, as its subscript reads and writes it: writing no
// value removes the key.
std::optional<MetadataValue> entryValue(const Metadata& metadata, const std::string& key);
void setEntryValue(Metadata& metadata, const std::string& key, std::optional<MetadataValue> value);

} // namespace vorla::logging
