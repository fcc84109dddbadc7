#include "Discovery.h"

#include <QUuid>

#include <memory>

namespace CalendarSync {

namespace {

QString failure(const CalDav::Response& r) {
    if (!r.reached())
        return QStringLiteral("The server could not be reached: %1").arg(r.error);
    if (r.status == 401)
        return QStringLiteral("The server refused the user or password.");
    return QStringLiteral("The server answered %1.").arg(r.status);
}

QString withoutUser(QUrl url) {
    url.setUserInfo(QString());
    return url.toString();
}

void listHome(CalDav::Client& client, const QString& home, const std::function<void(const Found&)>& done) {
    const QUrl url = client.resolve(home);
    client.send(
        "PROPFIND", url,
        CalDav::propfindBody({QStringLiteral("resourcetype"), QStringLiteral("displayname"),
                              QStringLiteral("supported-calendar-component-set")}),
        {{"Depth", "1"}}, [&client, url, done](const CalDav::Response& r) {
            Found found;
            found.home = withoutUser(url);
            if (r.status != 207) {
                found.error = failure(r);
                done(found);
                return;
            }
            for (const CalDav::Entry& e : CalDav::parseMultistatus(r.body).entries)
                if (e.isTaskList()) {
                    const QUrl list = client.resolve(e.href);
                    found.lists << TaskList{withoutUser(list), e.displayName.isEmpty() ? list.path() : e.displayName};
                }
            done(found);
        });
}

} // namespace

void discover(CalDav::Client& client, std::function<void(const Found&)> done) {
    client.send("PROPFIND", client.base(),
                CalDav::propfindBody({QStringLiteral("resourcetype"), QStringLiteral("displayname"),
                                      QStringLiteral("supported-calendar-component-set"),
                                      QStringLiteral("current-user-principal"), QStringLiteral("calendar-home-set")}),
                {{"Depth", "0"}}, [&client, done](const CalDav::Response& r) {
                    if (r.status != 207) {
                        done(Found{{}, {}, failure(r)});
                        return;
                    }
                    const QList<CalDav::Entry> entries = CalDav::parseMultistatus(r.body).entries;
                    const CalDav::Entry e = entries.value(0);
                    if (e.isTaskList()) {
                        Found found;
                        found.lists << TaskList{withoutUser(client.base()),
                                                e.displayName.isEmpty() ? client.base().path() : e.displayName};
                        done(found);
                    } else if (!e.homeSet.isEmpty()) {
                        listHome(client, e.homeSet, done);
                    } else if (!e.principal.isEmpty()) {
                        client.send("PROPFIND", client.resolve(e.principal),
                                    CalDav::propfindBody({QStringLiteral("calendar-home-set")}), {{"Depth", "0"}},
                                    [&client, done](const CalDav::Response& p) {
                                        const CalDav::Entry pe = CalDav::parseMultistatus(p.body).entries.value(0);
                                        if (p.status != 207 || pe.homeSet.isEmpty()) {
                                            done(Found{{},
                                                       {},
                                                       p.status == 207
                                                           ? QStringLiteral("The server names no calendar home.")
                                                           : failure(p)});
                                            return;
                                        }
                                        listHome(client, pe.homeSet, done);
                                    });
                    } else {
                        listHome(client, client.base().path(), done);
                    }
                });
}

void makeTaskList(CalDav::Client& client, const QString& home, const QString& name,
                  std::function<void(const QString& url, const QString& error)> done) {
    QString path = home;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    QString slug;
    for (const QChar c : name.toLower())
        if ((c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-'))
            slug += c;
        else if (!slug.endsWith(QLatin1Char('-')))
            slug += QLatin1Char('-');
    slug += QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128).left(8);
    const QUrl url = client.resolve(path + slug + QLatin1Char('/'));
    client.send("MKCALENDAR", url, CalDav::mkcalendarBody(name), {}, [url, done](const CalDav::Response& r) {
        if (r.status == 201)
            done(withoutUser(url), {});
        else
            done({}, failure(r));
    });
}

} // namespace CalendarSync
