#include "CalDav.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace CalDav {

namespace {

const QString davNs = QStringLiteral("DAV:");
const QString calNs = QStringLiteral("urn:ietf:params:xml:ns:caldav");
const QString csNs = QStringLiteral("http://calendarserver.org/ns/");

int statusOf(const QString& line) {
    // "HTTP/1.1 404 Not Found"
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    return parts.size() >= 2 ? parts.at(1).toInt() : 0;
}

// The text inside the current element and the hrefs under it (for properties that hold an href).
void readProp(QXmlStreamReader& xml, Entry& e) {
    const QString name = xml.name().toString();
    const QString ns = xml.namespaceUri().toString();
    if (name == QLatin1String("resourcetype")) {
        while (xml.readNextStartElement()) {
            e.resourceTypes << xml.name().toString();
            xml.skipCurrentElement();
        }
    } else if (name == QLatin1String("supported-calendar-component-set") && ns == calNs) {
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("comp"))
                e.components << xml.attributes().value(QStringLiteral("name")).toString().toUpper();
            xml.skipCurrentElement();
        }
    } else if (name == QLatin1String("calendar-home-set") || name == QLatin1String("current-user-principal")) {
        QString href;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("href") && href.isEmpty())
                href = xml.readElementText().trimmed();
            else
                xml.skipCurrentElement();
        }
        (name == QLatin1String("calendar-home-set") ? e.homeSet : e.principal) = href;
    } else {
        const QString value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (name == QLatin1String("getetag"))
            e.etag = value.trimmed().toUtf8();
        else if (name == QLatin1String("getctag"))
            e.ctag = value.trimmed();
        else if (name == QLatin1String("displayname"))
            e.displayName = value.trimmed();
        else if (name == QLatin1String("calendar-data"))
            e.calendarData = value.toUtf8();
        else if (name == QLatin1String("sync-token"))
            e.syncToken = value.trimmed();
    }
}

void readResponse(QXmlStreamReader& xml, Entry& e) {
    e.status = 200;
    while (xml.readNextStartElement()) {
        const auto name = xml.name();
        if (name == QLatin1String("href")) {
            e.href = xml.readElementText().trimmed();
        } else if (name == QLatin1String("status")) {
            e.status = statusOf(xml.readElementText());
        } else if (name == QLatin1String("propstat")) {
            // Properties are read into a copy kept only when the propstat says 200.
            Entry found = e;
            int status = 200;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("prop")) {
                    while (xml.readNextStartElement())
                        readProp(xml, found);
                } else if (xml.name() == QLatin1String("status")) {
                    status = statusOf(xml.readElementText());
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (status >= 200 && status < 300) {
                const QString href = e.href;
                const int own = e.status;
                e = found;
                e.href = href;
                e.status = own;
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

} // namespace

Multistatus parseMultistatus(const QByteArray& body) {
    Multistatus result;
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("multistatus"))
        return result;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("response")) {
            Entry e;
            readResponse(xml, e);
            if (!e.href.isEmpty())
                result.entries << e;
        } else if (xml.name() == QLatin1String("sync-token")) {
            result.syncToken = xml.readElementText().trimmed();
        } else {
            xml.skipCurrentElement();
        }
    }
    result.valid = !xml.hasError();
    return result;
}

namespace {
void writeProps(QXmlStreamWriter& w, const QStringList& props) {
    w.writeStartElement(davNs, QStringLiteral("prop"));
    for (const QString& p : props) {
        if (p == QLatin1String("getctag"))
            w.writeEmptyElement(csNs, p);
        else if (p == QLatin1String("calendar-data") || p == QLatin1String("supported-calendar-component-set") ||
                 p == QLatin1String("calendar-home-set"))
            w.writeEmptyElement(calNs, p);
        else
            w.writeEmptyElement(davNs, p);
    }
    w.writeEndElement();
}

QXmlStreamWriter& start(QXmlStreamWriter& w) {
    w.writeNamespace(davNs, QStringLiteral("D"));
    w.writeNamespace(calNs, QStringLiteral("C"));
    w.writeNamespace(csNs, QStringLiteral("CS"));
    w.writeStartDocument();
    return w;
}
} // namespace

QByteArray propfindBody(const QStringList& props) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    start(w).writeStartElement(davNs, QStringLiteral("propfind"));
    writeProps(w, props);
    w.writeEndDocument();
    return out;
}

QByteArray syncCollectionBody(const QString& token) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    start(w).writeStartElement(davNs, QStringLiteral("sync-collection"));
    w.writeTextElement(davNs, QStringLiteral("sync-token"), token);
    w.writeTextElement(davNs, QStringLiteral("sync-level"), QStringLiteral("1"));
    writeProps(w, {QStringLiteral("getetag")});
    w.writeEndDocument();
    return out;
}

QByteArray multigetBody(const QStringList& hrefs) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    start(w).writeStartElement(calNs, QStringLiteral("calendar-multiget"));
    writeProps(w, {QStringLiteral("getetag"), QStringLiteral("calendar-data")});
    for (const QString& href : hrefs)
        w.writeTextElement(davNs, QStringLiteral("href"), href);
    w.writeEndDocument();
    return out;
}

QByteArray mkcalendarBody(const QString& displayName) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    start(w).writeStartElement(calNs, QStringLiteral("mkcalendar"));
    w.writeStartElement(davNs, QStringLiteral("set"));
    w.writeStartElement(davNs, QStringLiteral("prop"));
    w.writeTextElement(davNs, QStringLiteral("displayname"), displayName);
    w.writeStartElement(calNs, QStringLiteral("supported-calendar-component-set"));
    w.writeEmptyElement(calNs, QStringLiteral("comp"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("VTODO"));
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

Client::Client(const QUrl& base, const QString& user, const QString& password, QObject* parent)
    : QObject(parent)
    , m_base(base) {
    const QString who = user.isEmpty() ? base.userName() : user;
    const QString secret = password.isEmpty() ? base.password() : password;
    m_base.setUserInfo(QString());
    // Sent with every request, so that no request is made twice for the server's 401 first.
    if (!who.isEmpty())
        m_authorization = "Basic " + (who.toUtf8() + ':' + secret.toUtf8()).toBase64();
    m_network.setAutoDeleteReplies(true);
}

QUrl Client::resolve(const QString& href) const {
    return m_base.resolved(QUrl(href));
}

QString Client::pathOf(const QUrl& url) {
    return url.path(QUrl::FullyDecoded);
}

void Client::send(const QByteArray& verb, const QUrl& url, const QByteArray& body,
                  const QHash<QByteArray, QByteArray>& headers, Done done) {
    QNetworkRequest request(url);
    // A server that takes the request and then sends nothing for minutes does not hold the sync
    // up for ever (a large collection read for the first time may take a server a while).
    request.setTransferTimeout(5 * 60 * 1000);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (!m_authorization.isEmpty())
        request.setRawHeader("Authorization", m_authorization);
    if (!body.isEmpty() && !headers.contains("Content-Type"))
        request.setRawHeader("Content-Type", "application/xml; charset=utf-8");
    for (auto h = headers.constBegin(); h != headers.constEnd(); ++h)
        request.setRawHeader(h.key(), h.value());
    ++m_requests;
    ++m_inFlight;
    m_sent += body.size();
    QNetworkReply* reply = m_network.sendCustomRequest(request, verb, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, done = std::move(done)] {
        --m_inFlight;
        Response r;
        r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->isOpen())
            r.body = reply->readAll();
        m_received += r.body.size();
        r.etag = reply->rawHeader("ETag");
        if (!r.reached())
            r.error = reply->errorString();
        done(r);
    });
}

} // namespace CalDav
