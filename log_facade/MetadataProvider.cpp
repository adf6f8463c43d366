#include "log_facade/MetadataProvider.hpp"

namespace vorla::logging {

MetadataProvider::MetadataProvider(Function provideMetadata)
    : provideMetadata_(std::make_shared<const Function>(std::move(provideMetadata))) {}

Metadata MetadataProvider::get() const {
    return (*provideMetadata_)();
}

std::optional<MetadataProvider>
MetadataProvider::multiplex(std::vector<MetadataProvider> providers) {
    return MetadataProvider([providers = std::move(providers)] {
        Metadata merged;
        for (const MetadataProvider& provider : providers) {
            mergeOverwriting(merged, provider.get());
        }
        return merged;
    });
}

void mergeOverwriting(Metadata& target, const Metadata& source) {
    for (const auto& [key, value] : source) {
        target.insert_or_assign(key, value);
    }
}

std::optional<MetadataValue> entryValue(const Metadata& metadata, const std::string& key) {
    const auto entry = metadata.find(key);
    return entry == metadata.end() ? std::nullopt : std::optional(entry->second);
}

void setEntryValue(Metadata& metadata, const std::string& key, std::optional<MetadataValue> value) {
    if (value) {
        metadata.insert_or_assign(key, std::move(*value));
    } else {
        metadata.erase(key);
    }
}

} // namespace vorla::logging
