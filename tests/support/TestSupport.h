// Shared test support: a temporary data folder, program folder and settings store per test,
// and scripted message boxes that record what the program showed.
#pragma once

#include "app/Messages.h"

#include <QColor>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class ScriptedMessages final : public Messages {
public:
    enum class Kind { Notice, Question, Error, Input, FileDialog, SaveFile = FileDialog, Password, Waiting, WaitEnded };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
    };

    ScriptedMessages();
    ~ScriptedMessages() override;

    void notice(const QString& text) override;
    bool ask(const QString& text) override;
    void error(const QString& text) override;
    QString input(const QString& title, const QString& prompt) override;
    QString saveFileName(const QString& title, const QString& suggestedName, const QString& filter) override;
    QStringList openFileNames(const QString& title, const QString& filter, bool several) override;
    QString password(const QString& title, const QString& prompt) override;
    // Records each wait that was shown (its text), and its end (WaitEnded, without a text).
    void waiting(const QString& text) override;
    // Whether a wait is shown that was not taken down.
    bool waitShown() const { return m_waitShown; }

    // Answers for the next questions (true = Yes) and input boxes (empty text = Cancel).
    // An unscripted question is answered No, an unscripted input box is cancelled.
    void answerNext(bool yes) { m_answers.push_back(yes); }
    void inputNext(const QString& text) { m_inputs.push_back(text); }
    // Answers for the next file dialogs (save or open); an unscripted one is cancelled. A save
    // dialog takes the first path of its answer.
    void fileNext(const QStringList& paths) { m_files.push_back(paths); }
    void saveFileNameNext(const QString& path) { fileNext({path}); }
    void passwordNext(const QString& text) { m_passwords.push_back(text); }

    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList texts(Kind kind) const;
    QStringList errors() const { return texts(Kind::Error); }
    QStringList notices() const { return texts(Kind::Notice); }
    QStringList questions() const { return texts(Kind::Question); }
    void clear() { m_shown.clear(); }

private:
    std::vector<Shown> m_shown;
    bool m_waitShown = false;
    std::deque<bool> m_answers;
    std::deque<QString> m_inputs;
    std::deque<QStringList> m_files;
    std::deque<QString> m_passwords;
};

// The PostgreSQL server of a test run (started around ctest by pg_virtualenv; libpq finds it
// through PGHOST, PGPORT, PGUSER and PGPASSWORD).
namespace TestServer {
// Whether this run tests the team database (FENNICK_TEST_BACKEND=postgresql).
bool wanted();
// Whether a server answers.
bool available();
// The database that every test's database is copied from.
QString templateName();
// Creates the template database with the program's tables (dropping an older one first).
void createTemplate();
// A new, empty database copied from the template; returns its connection string.
QString freshDatabase();
// Drops a database made by freshDatabase(), even while other processes are connected to it.
void dropDatabase(const QString& target);
// Runs one statement on the server's maintenance database.
void admin(const QString& statement);
} // namespace TestServer

// A clean world for one test: empty data and settings folders, a program folder holding the
// template, and the shared connection closed. When the run tests the team database, a fresh
// team database too, named in FENNICK_DATABASE so that start-up opens it.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    // Whether the tests run against a team database.
    static bool isTeam() { return TestServer::wanted(); }
    // The database the tests use: the team database, or the local working database.
    QString databaseTarget() const;

    QString root() const { return m_dir.path(); }
    QString programFolder() const;
    QString dataHome() const;
    QString configHome() const;

    // Prepares the data store and opens the shared connection on a fresh working database.
    void openDatabase();
    // Runs a statement on the shared connection (fails the test through an exception).
    static void exec(const QString& statement);
    // The single value of a query ("select count(*) from Projects").
    static QVariant scalar(const QString& query);
    // A file where the backup folder of the working database belongs: no copy can be made.
    static void blockBackups();
    // All rows of a query, each as its values joined by "|".
    static QStringList rows(const QString& query);
    // Makes every insert, update or delete (event) on the table fail with the message.
    static void refuse(const QString& event, const QString& table, const QString& message);
    // Runs statements with the checks of references between tables switched off.
    static void withoutForeignKeys(const std::function<void()>& statements);

private:
    QTemporaryDir m_dir;
    QString m_team; // connection string of this test's team database
};

// This test program started again as a child process with "--child" and the arguments (its
// errors go to the test's own); the caller deletes it.
QProcess* startChild(const QStringList& args);

// What a refused call says: the description of the DbError that `work` throws, or
// "(not refused)" when it throws none.
QString refusalOf(const std::function<void()>& work);

// For a test about the local file only (its folder, its template, its file modes).
#define SKIP_FOR_TEAM_DATABASE()                                                                                       \
    if (TestEnvironment::isTeam())                                                                                     \
    QSKIP("about the local database file")

// The path of the template database made by the build.
QString templatePath();

// Contrast ratio of two colours as the web accessibility guidelines define it (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);
