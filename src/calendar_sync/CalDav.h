// The WebDAV and CalDAV requests of a calendar sync, over Qt's own HTTP client
// (QNetworkAccessManager) with the answers read by QXmlStreamReader: no further library, the
// proxy and TLS settings of the desktop, and requests that never block the window (each answer
// arrives as a callback on the event loop; the command line runs a local loop until the sync ends).
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace CalDav {

// One answer: status 0 when the server could not be reached (the error says why).
struct Response {
    int status = 0;
    QString error;
    QByteArray body;
    QByteArray etag;
    bool reached() const { return status > 0; }
    bool ok() const { return status >= 200 && status < 300; }
};

// One <response> of a multistatus answer.
struct Entry {
    QString href;    // the path, as the server wrote it
    int status = 0;  // the response's own status (a deleted item in a sync report: 404), else 200
    QByteArray etag; // getetag
    QString ctag;
    QString displayName;
    QStringList resourceTypes; // local names: collection, calendar, principal...
    QStringList components;    // supported-calendar-component-set: VTODO, VEVENT...
    QString homeSet;           // calendar-home-set's href
    QString principal;         // current-user-principal's href
    QByteArray calendarData;
    QString syncToken; // of a collection asked with PROPFIND
    // A calendar collection that takes to-dos (no component set named: it takes every kind).
    bool isTaskList() const {
        return resourceTypes.contains(QLatin1String("calendar")) &&
               (components.isEmpty() || components.contains(QLatin1String("VTODO")));
    }
};

struct Multistatus {
    QList<Entry> entries;
    QString syncToken; // the report's new token (sync-collection)
    bool valid = false;
};

// Reads a multistatus body; entries' etags keep their quotes as the server sent them.
Multistatus parseMultistatus(const QByteArray& body);

// The request bodies.
QByteArray propfindBody(const QStringList& props);
QByteArray syncCollectionBody(const QString& token);
QByteArray multigetBody(const QStringList& hrefs);
QByteArray mkcalendarBody(const QString& displayName);

class Client final : public QObject {
    Q_OBJECT
public:
    // base: the URL of the server or of one collection; a user in it is taken when none is given.
    Client(const QUrl& base, const QString& user, const QString& password, QObject* parent = nullptr);

    using Done = std::function<void(const Response&)>;
    void send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
              const QHash<QByteArray, QByteArray>& headers, Done done);
    // An href of the server made a full URL.
    QUrl resolve(const QString& href) const;
    // A URL's path, as hrefs are compared.
    static QString pathOf(const QUrl& url);

    QUrl base() const { return m_base; }
    int requests() const { return m_requests; }
    qint64 bytesSent() const { return m_sent; }
    qint64 bytesReceived() const { return m_received; }
    int inFlight() const { return m_inFlight; }

private:
    QNetworkAccessManager m_network;
    QUrl m_base;
    QByteArray m_authorization;
    int m_requests = 0;
    qint64 m_sent = 0;
    qint64 m_received = 0;
    int m_inFlight = 0;
};

} // namespace CalDav
