#include "Credentials.h"

#include "app/Messages.h"
#include "app/Settings.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#ifdef FENNICK_HAVE_LIBSECRET
// GLib's headers use "signals" as a name, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")
#endif

namespace Credentials {

namespace {

const QString urlKey = QStringLiteral("Calendar URL");
const QString userKey = QStringLiteral("Calendar User");

QHash<QString, QString>& typed() {
    static QHash<QString, QString> passwords;
    return passwords;
}

QString keyOf(const QUrl& url, const QString& user) {
    return user + QLatin1Char('@') + url.toString(QUrl::RemoveUserInfo);
}

#ifdef FENNICK_HAVE_LIBSECRET
const SecretSchema* schema() {
    static const SecretSchema s = {"org.tarnwick.FennickPlanner.Calendar",
                                   SECRET_SCHEMA_NONE,
                                   {{"url", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                    {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                   0,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr,
                                   nullptr};
    return &s;
}
#endif

} // namespace

Account configuredAccount() {
    Account a;
    const QString url = Settings::read(urlKey, QString()).trimmed();
    if (!url.isEmpty())
        a.url = QUrl(url);
    a.user = Settings::read(userKey, QString()).trimmed();
    return a;
}

void saveAccount(const Account& account) {
    QUrl url = account.url;
    url.setPassword(QString()); // a password typed into the URL never reaches the settings
    Settings::write(urlKey, account.url.isEmpty() ? QString() : url.toString());
    Settings::write(userKey, account.user);
}

bool secretStoreAvailable() {
#ifdef FENNICK_HAVE_LIBSECRET
    // Without a session bus libsecret would try to start one; the command line in a plain
    // terminal or a service has none, and then goes to ~/.netrc. A bus alone is not enough: a
    // desktop without a keyring has none of the secret service on it (running, or started when
    // asked for). Asked once a run: the bus's own answers, quick and never a keyring's prompt.
    static const bool available = [] {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            return false;
        GError* error = nullptr;
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (!bus) {
            if (error)
                g_error_free(error);
            return false;
        }
        auto ask = [bus](const char* method, GVariant* arguments) -> GVariant* {
            GError* failure = nullptr;
            GVariant* answer = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                           "org.freedesktop.DBus", method, arguments, nullptr,
                                                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &failure);
            if (failure)
                g_error_free(failure);
            return answer;
        };
        const char* service = "org.freedesktop.secrets";
        bool found = false;
        if (GVariant* owned = ask("NameHasOwner", g_variant_new("(s)", service))) {
            gboolean has = FALSE;
            g_variant_get(owned, "(b)", &has);
            found = has;
            g_variant_unref(owned);
        }
        if (!found)
            if (GVariant* names = ask("ListActivatableNames", nullptr)) {
                GVariant* list = g_variant_get_child_value(names, 0);
                for (gsize i = 0; i < g_variant_n_children(list) && !found; ++i) {
                    GVariant* name = g_variant_get_child_value(list, i);
                    found = g_strcmp0(g_variant_get_string(name, nullptr), service) == 0;
                    g_variant_unref(name);
                }
                g_variant_unref(list);
                g_variant_unref(names);
            }
        g_object_unref(bus);
        return found;
    }();
    return available;
#else
    return false;
#endif
}

QString storedPassword(const QUrl& url, const QString& user) {
#ifdef FENNICK_HAVE_LIBSECRET
    if (!secretStoreAvailable())
        return {};
    GError* error = nullptr;
    gchar* found = secret_password_lookup_sync(schema(), nullptr, &error, "url",
                                               url.toString(QUrl::RemoveUserInfo).toUtf8().constData(), "user",
                                               user.toUtf8().constData(), nullptr);
    if (error)
        g_error_free(error);
    const QString password = found ? QString::fromUtf8(found) : QString();
    if (found)
        secret_password_free(found);
    return password;
#else
    Q_UNUSED(url)
    Q_UNUSED(user)
    return {};
#endif
}

bool storePassword(const QUrl& url, const QString& user, const QString& password, QString* message) {
#ifdef FENNICK_HAVE_LIBSECRET
    if (!secretStoreAvailable()) {
        if (message)
            *message = QStringLiteral("No secret store can be reached in this session.");
        return false;
    }
    const QByteArray where = url.toString(QUrl::RemoveUserInfo).toUtf8();
    GError* error = nullptr;
    bool done = false;
    if (password.isEmpty())
        done = secret_password_clear_sync(schema(), nullptr, &error, "url", where.constData(), "user",
                                          user.toUtf8().constData(), nullptr) ||
               !error;
    else
        done =
            secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT,
                                       QStringLiteral("Fennick Planner calendar (%1)").arg(user).toUtf8().constData(),
                                       password.toUtf8().constData(), nullptr, &error, "url", where.constData(), "user",
                                       user.toUtf8().constData(), nullptr);
    if (error) {
        if (message)
            *message = QString::fromUtf8(error->message);
        g_error_free(error);
        return false;
    }
    return done;
#else
    Q_UNUSED(url)
    Q_UNUSED(user)
    Q_UNUSED(password)
    if (message)
        *message = QStringLiteral("This program was built without a secret store.");
    return false;
#endif
}

QString netrcPassword(const QString& host, const QString& user) {
    const QString path = qEnvironmentVariableIsEmpty("NETRC") ? QDir::homePath() + QStringLiteral("/.netrc")
                                                              : qEnvironmentVariable("NETRC");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Tokens separated by blanks and line ends: machine/default entries with login and password.
    const QStringList tokens =
        QString::fromUtf8(file.readAll()).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QString machine, login, password, fallback;
    bool inEntry = false, isDefault = false;
    auto finish = [&]() -> bool {
        if (inEntry && (isDefault || machine.compare(host, Qt::CaseInsensitive) == 0) &&
            (login.isEmpty() || user.isEmpty() || login == user)) {
            if (!isDefault)
                return true;
            if (fallback.isEmpty())
                fallback = password;
        }
        return false;
    };
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& t = tokens.at(i);
        if (t == QLatin1String("machine") || t == QLatin1String("default")) {
            if (finish())
                return password;
            inEntry = true;
            isDefault = t == QLatin1String("default");
            machine = isDefault ? QString() : tokens.value(++i);
            login.clear();
            password.clear();
        } else if (t == QLatin1String("login")) {
            login = tokens.value(++i);
        } else if (t == QLatin1String("password")) {
            password = tokens.value(++i);
        } else if (t == QLatin1String("account") || t == QLatin1String("macdef")) {
            ++i;
        }
    }
    if (finish())
        return password;
    return fallback;
}

QString password(const QUrl& url, const QString& user, bool ask) {
    if (!url.password().isEmpty())
        return url.password();
    const QString key = keyOf(url, user);
    if (typed().contains(key))
        return typed().value(key);
    QString found = storedPassword(url, user);
    if (found.isEmpty())
        found = netrcPassword(url.host(), user);
    if (found.isEmpty() && ask) {
        found = Messages::current().password(QStringLiteral("Calendar Account"),
                                             QStringLiteral("Password of %1 on %2:").arg(user, url.host()));
        if (!found.isEmpty())
            typed().insert(key, found);
    }
    return found;
}

void remember(const QUrl& url, const QString& user, const QString& password) {
    typed().insert(keyOf(url, user), password);
}

void forgetTyped() {
    typed().clear();
}

} // namespace Credentials
