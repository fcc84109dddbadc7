#include "Backends.h"

#include "Connection.h"
#include "DbError.h"

#include <vector>

namespace Backends {

namespace {
std::vector<Backend>& registered() {
    static std::vector<Backend> backends;
    return backends;
}
} // namespace

void add(Backend backend) {
    for (Backend& known : registered()) {
        if (known.name == backend.name) {
            known = std::move(backend);
            return;
        }
    }
    registered().push_back(std::move(backend));
}

const Backend* find(const QString& target) {
    for (const Backend& backend : registered()) {
        if (backend.recognises && backend.recognises(target))
            return &backend;
    }
    return nullptr;
}

bool isShared(const QString& target) {
    const Backend* backend = find(target);
    return backend && backend->shared;
}

std::unique_ptr<Connection> open(const QString& target) {
    const Backend* backend = find(target);
    if (!backend)
        throw DbError(QStringLiteral("No kind of database this program knows can open \"%1\".").arg(target));
    return backend->open(target);
}

} // namespace Backends
