// What the benchmarks share: a temporary world of their own (data folder, settings store and a
// program folder holding the template) and a timer.
#pragma once

#include "Composition.h"
#include "app/DataStore.h"
#include "app/DbError.h"
#include "app/Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <vector>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>

namespace Bench {

// The benchmarks run the program's pieces as the program composes them.
inline const bool composed = (Composition::compose(), true);

// Ends the benchmark with what failed: a figure measured on a half-made database is worthless.
[[noreturn]] inline void fail(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "benchmark stopped: %s failed: %s\n", what.c_str(), why.c_str());
    std::fflush(stdout);
    std::exit(1);
}
inline void check(bool ok, const std::string& what, const std::string& why = "no reason given") {
    if (!ok)
        fail(what, why);
}
// A statement of the program's own that fails throws; uncaught, it ends the benchmark with the
// database's message instead of a bare "terminate called".
inline void reportUncaughtErrors() {
    std::set_terminate([] {
        try {
            if (const std::exception_ptr e = std::current_exception())
                std::rethrow_exception(e);
            std::fputs("benchmark stopped\n", stderr);
        } catch (const DbError& e) {
            std::fprintf(stderr, "benchmark stopped: %s\n", e.description().toLocal8Bit().constData());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "benchmark stopped: %s\n", e.what());
        } catch (...) {
            std::fputs("benchmark stopped by an unknown error\n", stderr);
        }
        std::_Exit(1);
    });
}

// Made before the application object: the offscreen platform, and the data and settings folders
// inside a temporary folder that goes with it.
class Environment {
public:
    Environment() {
        reportUncaughtErrors();
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_DATA_HOME", QFile::encodeName(path() + QStringLiteral("/data")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path() + QStringLiteral("/config"));
    }

    QString path() const { return m_dir.path(); }

    // Once the application object exists: a fresh working database copied from the template.
    QString workingDatabase() const {
        const QString program = path() + QStringLiteral("/program");
        QDir().mkpath(program);
        check(QFile::copy(QStringLiteral(FENNICK_TEMPLATE), program + QStringLiteral("/dbBlank.mdb")),
              "copying the template " FENNICK_TEMPLATE, "missing, or the folder is not writable");
        DataStore::setProgramFolderForTesting(program);
        QDir().mkpath(DataStore::baseFolder());
        DataStore::makeCompanyFolder();
        DataStore::makeDataFolder();
        DataStore::copyTemplateIfMissing();
        check(QFile::exists(DataStore::workingDatabase()), "making the working database");
        return DataStore::workingDatabase();
    }

private:
    QTemporaryDir m_dir;
};

// The boxes of a headless client: every error is remembered, nothing waits for an answer.
class RecordedMessages final : public Messages {
public:
    void notice(const QString&) override {}
    bool ask(const QString&) override { return false; }
    void error(const QString& text) override { errors << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')); }
    QString input(const QString&, const QString&) override { return {}; }
    QStringList errors;
};

// A headless client's life after its start: events until its standard input closes (which is how
// the benchmark ends it).
inline void runUntilInputCloses() {
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    QCoreApplication::exec();
}

// A database written in one transaction: the statements prepared through it are finalized, and
// the transaction committed, when it goes. Every call is checked: a failure ends the benchmark
// with SQLite's message. A busy file (the program's background backup of an earlier round still
// reading it) is waited for, as the program itself waits.
class BulkWriter {
public:
    explicit BulkWriter(const QString& path)
        : m_path(QFile::encodeName(path).toStdString()) {
        const int rc = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        check(rc == SQLITE_OK, "opening " + m_path, m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
        sqlite3_busy_timeout(m_db, 60000);
        exec("begin immediate");
    }
    ~BulkWriter() {
        for (sqlite3_stmt* statement : m_statements)
            sqlite3_finalize(statement);
        exec("commit");
        sqlite3_close(m_db);
    }
    BulkWriter(const BulkWriter&) = delete;
    BulkWriter& operator=(const BulkWriter&) = delete;

    sqlite3* handle() const { return m_db; }
    void exec(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK)
            fail(std::string("\"") + sql + "\" on " + m_path, message ? message : sqlite3_errmsg(m_db));
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK || !statement)
            fail(std::string("preparing \"") + sql + "\"", sqlite3_errmsg(m_db));
        m_statements.push_back(statement);
        return statement;
    }
    // Runs a statement with the values bound to it, ready to be bound again.
    void run(sqlite3_stmt* statement) {
        const int rc = sqlite3_step(statement);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            fail(std::string("running \"") + sqlite3_sql(statement) + "\"", sqlite3_errmsg(m_db));
        sqlite3_reset(statement);
    }

private:
    std::string m_path;
    sqlite3* m_db = nullptr;
    std::vector<sqlite3_stmt*> m_statements;
};

// Fills a working database with the benchmark rows: projects of two owners, and as many tasks
// spread over the first thousand projects.
inline void fillDatabase(const QString& path, int rowCount) {
    BulkWriter db(path);
    db.exec("insert into Employees (FirstName,LastName) values ('John','Wilson'),('Daniel','Carter')");
    sqlite3_stmt* project =
        db.prepare("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                   "BudgetInDays,Budget) values (?1,?2,?3,'In process','Main Category','High','Notes here',?4,"
                   "?5,?6)");
    sqlite3_stmt* task =
        db.prepare("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                   "AssignedTo,Description,StartDate,DueDate) values (?1,?2,'Low','Open',?3,2,50,1,"
                   "'Description','2021-08-31','2021-09-30')");
    for (int i = 1; i <= rowCount; ++i) {
        // In 64 bits: from row 271,184 on, i * 7919 no longer fits an int.
        const std::string name = "Project " + std::to_string(i * 7919LL % rowCount);
        const std::string start = "2021-" + std::to_string(10 + i % 3) + "-" + std::to_string(10 + i % 19);
        sqlite3_bind_text(project, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(project, 2, 1 + i % 2);
        sqlite3_bind_text(project, 3, start.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(project, 4, "2022-01-01", -1, SQLITE_STATIC);
        sqlite3_bind_int(project, 5, i % 50);
        sqlite3_bind_double(project, 6, (i * 37) % 100000 / 4.0);
        db.run(project);
        const std::string title = "Task " + std::to_string(i);
        sqlite3_bind_int(task, 1, 1 + i % 1000);
        sqlite3_bind_text(task, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(task, 3, i % 500);
        db.run(task);
    }
}

// The floor: every column of every row of the project view (or of another statement) read once
// through SQLite's own API.
inline double rawScanMs(const QString& path, const char* statement = "select * from [Open Projects]") {
    sqlite3* db = nullptr;
    const std::string name = QFile::encodeName(path).toStdString();
    check(sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK, "opening " + name,
          db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_busy_timeout(db, 60000);
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, statement, -1, &stmt, nullptr) != SQLITE_OK || !stmt)
        fail(std::string("preparing \"") + statement + "\"", sqlite3_errmsg(db));
    long long bytes = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            bytes += sqlite3_column_bytes(stmt, c) + (sqlite3_column_text(stmt, c) ? 1 : 0);
    }
    check(rc == SQLITE_DONE, std::string("reading \"") + statement + "\"", sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    sqlite3_close(db);
    if (bytes == 0)
        std::printf("(empty scan)\n");
    return ms;
}

template <typename F> double timeMs(F&& f) {
    QElapsedTimer timer;
    timer.start();
    f();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace Bench
