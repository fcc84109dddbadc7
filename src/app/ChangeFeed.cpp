#include "ChangeFeed.h"

namespace {
// Changes that arrive this close together refill the lists once.
constexpr int mergeMilliseconds = 20;
} // namespace

ChangeFeed::ChangeFeed() {
    m_merge.setSingleShot(true);
    m_merge.setInterval(mergeMilliseconds);
    connect(&m_merge, &QTimer::timeout, this, [this] {
        if (m_held)
            return; // released later
        emit changed();
        m_pending.clear();
    });
}

void ChangeFeed::setHeld(bool held) {
    m_held = held;
    if (!held && !m_pending.isEmpty() && !m_merge.isActive())
        m_merge.start();
}

void ChangeFeed::announce(const QString& table, const QList<qint64>& ids) {
    Pending& pending = m_pending[table];
    if (ids.isEmpty() || table.isEmpty()) {
        pending.whole = true;
    } else if (!pending.whole) {
        for (qint64 id : ids)
            pending.ids.insert(id);
        if (pending.ids.size() > maxRecords) {
            pending.whole = true;
            pending.ids.clear();
        }
    }
    if (!m_merge.isActive())
        m_merge.start();
}

void ChangeFeed::announceNotice(const QString& notice) {
    const qsizetype space = notice.indexOf(QLatin1Char(' '));
    if (space < 0) {
        announce(notice);
        return;
    }
    QList<qint64> ids;
    for (QStringView part : QStringView(notice).mid(space + 1).split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 id = part.trimmed().toLongLong(&ok);
        if (!ok) { // not a list of IDs: which records is not known
            ids.clear();
            break;
        }
        ids.append(id);
    }
    announce(notice.left(space), ids);
}

QSet<QString> ChangeFeed::pendingTables() const {
    QSet<QString> tables;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        tables.insert(it.key());
    return tables;
}

bool ChangeFeed::pendingRecords(const QString& table, QSet<qint64>* ids) const {
    const auto it = m_pending.constFind(table);
    if (it == m_pending.cend() || it->whole || m_pending.contains(QString()))
        return false;
    *ids = it->ids;
    return true;
}
