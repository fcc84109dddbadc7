// News from the database for the windows: another client changed rows, the server went away,
// the server is back. Announcements close together are merged into one. The shared connection
// owns the feed and hands it to the connection it holds; a connection that sees other clients'
// changes announces them here.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class ChangeFeed final : public QObject {
    Q_OBJECT
public:
    ChangeFeed();

    // A table was changed by another client; changed() follows once for all announcements that
    // arrive within a short moment.
    void announce(const QString& table);
    // The tables announced since the last changed().
    QSet<QString> pendingTables() const { return m_tables; }

signals:
    // A database was opened (at start, on a later try after a failure, or another one chosen).
    void opened();
    void changed();
    void connectionLost();
    void reconnected();
    // Changes by other clients cannot reach this one (why says so, and what to do).
    void notListening(const QString& why);

private:
    QTimer m_merge;
    QSet<QString> m_tables;
};
