// News from the database for the windows: another client changed rows, the server went away,
// the server is back. Announcements close together are merged into one. The shared connection
// owns the feed and hands it to the connection it holds; a connection that sees other clients'
// changes announces them here, with the records they touched where it knows them.
#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class ChangeFeed final : public QObject {
    Q_OBJECT
public:
    ChangeFeed();

    // A table was changed by another client; changed() follows once for all announcements that
    // arrive within a short moment. With no IDs, which records changed is not known (an empty
    // table name: nor which table).
    void announce(const QString& table, const QList<qint64>& ids = {});
    // An announcement as the team database's notice carries it: "table" or "table id,id,...".
    void announceNotice(const QString& notice);
    // While held (a statement waits and the windows paint meanwhile), changed() waits too.
    void setHeld(bool held);
    // The tables announced since the last changed().
    QSet<QString> pendingTables() const;
    // The records of a table announced since the last changed(); false when they are not known
    // (an announcement without IDs, or more than a patch is worth).
    bool pendingRecords(const QString& table, QSet<qint64>* ids) const;

    // More changed records than this in one burst are read again as a whole list.
    static constexpr int maxRecords = 2000;

signals:
    // A database was opened (at start, on a later try after a failure, or another one chosen).
    void opened();
    void changed();
    void connectionLost();
    void reconnected();
    // Changes by other clients cannot reach this one (why says so, and what to do).
    void notListening(const QString& why);

private:
    struct Pending {
        bool whole = false;
        QSet<qint64> ids;
    };
    QTimer m_merge;
    QHash<QString, Pending> m_pending;
    bool m_held = false;
};
