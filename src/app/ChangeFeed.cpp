#include "ChangeFeed.h"

namespace {
// Changes that arrive this close together refill the lists once.
constexpr int mergeMilliseconds = 20;
} // namespace

ChangeFeed::ChangeFeed() {
    m_merge.setSingleShot(true);
    m_merge.setInterval(mergeMilliseconds);
    connect(&m_merge, &QTimer::timeout, this, [this] {
        emit changed();
        m_tables.clear();
    });
}

void ChangeFeed::announce(const QString& table) {
    m_tables.insert(table);
    if (!m_merge.isActive())
        m_merge.start();
}
