// The calendar account: its server URL and user (in the settings) and its password, which is
// never written to the settings: it lives in the desktop's secret store (through libsecret, where
// the program was built with it and a session bus is there), else in ~/.netrc (as curl and ftp
// read it), else it is asked for once a run.
#pragma once

#include <QString>
#include <QUrl>

namespace Credentials {

struct Account {
    QUrl url; // the server (or one task list)
    QString user;
    bool configured() const { return url.isValid() && !url.isEmpty(); }
};

// The account in the settings (empty when none is set up).
Account configuredAccount();
// Writes the account to the settings (an empty URL removes it). Throws DbError.
void saveAccount(const Account& account);

// Whether a secret store can be reached in this session.
bool secretStoreAvailable();
// The stored password (empty: none).
QString storedPassword(const QUrl& url, const QString& user);
// Stores (or, with an empty password, forgets) the password; false with a message.
bool storePassword(const QUrl& url, const QString& user, const QString& password, QString* error = nullptr);

// The password ~/.netrc gives for the host and user ($NETRC names another file), empty when none.
QString netrcPassword(const QString& host, const QString& user);

// The password of the account: stored, from ~/.netrc, typed earlier in this run, or asked for
// through Messages (a password box, or the terminal on the command line) when `ask`.
QString password(const QUrl& url, const QString& user, bool ask);
// Keeps a password typed in the account's window for this run (where no secret store keeps it).
void remember(const QUrl& url, const QString& user, const QString& password);
// Forgets the password typed in this run (the server refused it).
void forgetTyped();

} // namespace Credentials
