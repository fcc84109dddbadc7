#include "KnownKeys.h"

namespace KnownKeys {

namespace {
std::vector<std::pair<QString, std::function<std::vector<Key>()>>>& sources() {
    static std::vector<std::pair<QString, std::function<std::vector<Key>()>>> all;
    return all;
}
} // namespace

void registerKeys(const QString& window, std::function<std::vector<Key>()> keys) {
    for (auto& source : sources()) {
        if (source.first == window) {
            source.second = std::move(keys);
            return;
        }
    }
    sources().emplace_back(window, std::move(keys));
}

std::vector<Key> registeredKeys() {
    std::vector<Key> all;
    for (const auto& source : sources()) {
        const std::vector<Key> keys = source.second();
        all.insert(all.end(), keys.begin(), keys.end());
    }
    return all;
}

} // namespace KnownKeys
