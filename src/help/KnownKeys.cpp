#include "KnownKeys.h"

namespace Help {

namespace {
std::vector<std::pair<QString, std::function<std::vector<Shortcut>()>>>& sources() {
    static std::vector<std::pair<QString, std::function<std::vector<Shortcut>()>>> all;
    return all;
}
} // namespace

void registerKeys(const QString& window, std::function<std::vector<Shortcut>()> keys) {
    for (auto& source : sources()) {
        if (source.first == window) {
            source.second = std::move(keys);
            return;
        }
    }
    sources().emplace_back(window, std::move(keys));
}

std::vector<Shortcut> registeredKeys() {
    std::vector<Shortcut> all;
    for (const auto& source : sources()) {
        const std::vector<Shortcut> keys = source.second();
        all.insert(all.end(), keys.begin(), keys.end());
    }
    return all;
}

} // namespace Help
