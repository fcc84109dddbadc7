#include "SyncCommandLine.h"

#include "CalendarSync.h"
#include "Credentials.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/DatabaseChoice.h"
#include "app/DbError.h"
#include "app/TerminalMessages.h"

#include <QEventLoop>

#include <cstdio>

namespace SyncCommandLine {

namespace {

int failed(const QString& message, int code = Failed) {
    std::fprintf(stderr, "fennick-planner: %s\n", message.toLocal8Bit().constData());
    return code;
}

} // namespace

int run(const QString& calendar, const QString& project) {
    TerminalMessages terminal; // a password is asked for on the terminal, when there is one
    try {
        DataStore::makeCompanyFolder();
        DataStore::makeDataFolder();
        DataStore::copyTemplateIfMissing();
        Database& db = Database::shared();
        db.open(DatabaseChoice::chosen());

        CalendarSync::State state;
        QString error;
        if (!state.load(CalendarSync::State::fileFor(db.target()), &error))
            return failed(error);
        QUrl server;
        QString user;
        QStringList only;
        if (!calendar.isEmpty()) {
            server = QUrl(calendar, QUrl::StrictMode);
            if (!server.isValid() || !server.scheme().startsWith(QLatin1String("http")))
                return failed(QStringLiteral("--calendar needs the http:// or https:// URL of a task list."), Usage);
            if (!server.path().endsWith(QLatin1Char('/')))
                server.setPath(server.path() + QLatin1Char('/'));
            user = server.userName();
            const QString key = server.toString(QUrl::RemoveUserInfo);
            CalendarSync::CollectionState& cs = state.collection(key);
            QList<qint64> projects;
            if (!project.isEmpty()) {
                bool ok = false;
                const qint64 id = project.toLongLong(&ok);
                if (project.compare(QLatin1String("all"), Qt::CaseInsensitive) != 0 && !ok)
                    return failed(QStringLiteral("--project needs a project's ID, or all."), Usage);
                if (ok)
                    projects << id;
            }
            if (projects.isEmpty() && (cs.projects.isEmpty() || !project.isEmpty()))
                for (ResultSet rs = db.query(QStringLiteral("select ID from Projects order by ID")); !rs.eof();
                     rs.moveNext())
                    projects << rs.value(0).toLongLong();
            if (!projects.isEmpty())
                for (qint64 p : std::as_const(projects))
                    state.assign(p, key);
            only << key;
        } else {
            const Credentials::Account account = Credentials::configuredAccount();
            if (!account.configured())
                return failed(QStringLiteral("no calendar account is set up: give --calendar URL, or set one up under "
                                             "File, Calendar Accounts."),
                              Usage);
            server = account.url;
            user = account.user;
        }
        // Checked after the options, and before a password is asked for.
        if (db.query(QStringLiteral("select ID from Projects")).eof())
            return failed(QStringLiteral("the database has no projects to sync."), NoProjects);
        bool numbered = false;
        const qint64 projectId = project.toLongLong(&numbered);
        if (numbered && db.query(QStringLiteral("select ID from Projects where ID=%1").arg(projectId)).eof())
            return failed(QStringLiteral("there is no project %1.").arg(projectId), NoSuchProject);
        const QString password = user.isEmpty() ? QString() : Credentials::password(server, user, true);

        CalendarSync::Engine engine(server, user, password, state);
        CalendarSync::Report report;
        bool done = false;
        QEventLoop loop;
        QObject::connect(&engine, &CalendarSync::Engine::finished, &loop, [&](const CalendarSync::Report& r) {
            report = r;
            done = true;
            loop.quit();
        });
        engine.start(only);
        if (!done)
            loop.exec();
        db.close();
        for (const QString& line : report.lines())
            std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
        if (!report.notTaskList.isEmpty())
            return NotTaskList;
        if (!report.problems.isEmpty())
            return Failed;
        return report.conflicts.isEmpty() ? Synced : Conflicts;
    } catch (const DbError& e) {
        return failed(e.description());
    }
}

} // namespace SyncCommandLine
