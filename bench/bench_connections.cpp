// How many copies of the program one PostgreSQL server carries (run it inside pg_virtualenv,
// whose server has the stock max_connections = 100). Headless clients, this program in client
// mode (the main window offscreen on the team database, its lists filled, then idle as a copy
// on a desk is), are started one after another as an ordinary role until one is refused:
//  - the baseline: plain libpq connections of the same role that the server accepts;
//  - copies as they are: one connection while idle, the list's reader only while it reads;
//  - copies as they were: each holding its reader too (kept here by the client itself).
// Counts, not times: the server's limit is the same on any machine.
#include "BenchSupport.h"

#include "app/Database.h"
#include "app/Messages.h"
#include "main_window/Form1.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamSchema.h"

#include <QApplication>
#include <QProcess>

#include <libpq-fe.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr const char* role = "fennick_bench_member";
constexpr int mostClients = 200; // stops the count should a server take more than expected

// A client: loads the main window on FENNICK_DATABASE and says "ready" or "refused <box>", then
// stays until its input closes. With "hold", it keeps a second connection as the list's reader
// once was kept.
int client(int argc, char** argv, bool hold) {
    Bench::Environment env;
    Bench::RecordedMessages messages;
    Messages::install(&messages);
    QApplication app(argc, argv);
    env.workingDatabase();
    Form1 form;
    form.Form_Load();
    form.projectModel()->ensureComplete();
    PGconn* held = nullptr;
    if (hold && messages.errors.isEmpty()) {
        held = PQconnectdb(qgetenv("FENNICK_DATABASE").constData());
        if (PQstatus(held) != CONNECTION_OK)
            messages.errors << QString::fromUtf8(PQerrorMessage(held)).trimmed();
    }
    const QString said = messages.errors.isEmpty()
                             ? QStringLiteral("ready")
                             : QStringLiteral("refused ") + messages.errors.join(QStringLiteral(" | "));
    std::printf("%s\n", qPrintable(said));
    std::fflush(stdout);
    Bench::runUntilInputCloses();
    form.Form_QueryUnload();
    PQfinish(held);
    Messages::install(nullptr);
    return 0;
}

// Starts clients until one is refused; returns how many were carried and, through `held`, how
// many connections the idle ones held on the server.
int carried(const QString& target, bool hold, int& held) {
    std::vector<std::unique_ptr<QProcess>> clients;
    QString refusal;
    while (static_cast<int>(clients.size()) < mostClients) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FENNICK_DATABASE"), target);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--client"), hold ? QStringLiteral("hold") : QString()});
        while (!p->canReadLine() && p->waitForReadyRead(120000)) {
        }
        const QString said = QString::fromUtf8(p->readLine()).trimmed();
        if (said != QLatin1String("ready")) {
            refusal = said.isEmpty() ? QStringLiteral("no answer") : said;
            p->closeWriteChannel();
            p->waitForFinished(60000);
            break;
        }
        clients.push_back(std::move(p));
    }
    const int count = static_cast<int>(clients.size());
    {
        // As the server's superuser, on a slot kept for it.
        PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
        auto rows = admin.query(QStringLiteral("select count(*) from pg_stat_activity where usename = '") +
                                QLatin1String(role) + QLatin1Char('\''));
        rows->next();
        held = rows->value(0).toInt();
    }
    std::printf("  client %d: %s\n", count + 1, qPrintable(refusal.left(160)));
    for (auto& p : clients)
        p->closeWriteChannel();
    for (auto& p : clients)
        if (!p->waitForFinished(60000))
            p->kill();
    return count;
}

// Plain connections of the role that the server accepts.
int plainConnections(const QString& target) {
    std::vector<PGconn*> open;
    while (static_cast<int>(open.size()) < mostClients) {
        PGconn* conn = PQconnectdb(target.toUtf8().constData());
        if (PQstatus(conn) != CONNECTION_OK) {
            PQfinish(conn);
            break;
        }
        open.push_back(conn);
    }
    for (PGconn* conn : open)
        PQfinish(conn);
    return static_cast<int>(open.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--client") == 0)
        return client(argc, argv, argc > 2 && qstrcmp(argv[2], "hold") == 0);

    Bench::Environment env;
    QApplication app(argc, argv);
    int limit = 0;
    try {
        PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
        admin.execute(QStringLiteral("drop database if exists fennick_bench_connections with (force)"));
        admin.execute(TeamSchema::createDatabaseStatement(QStringLiteral("fennick_bench_connections")));
        admin.execute(QStringLiteral("drop role if exists ") + QLatin1String(role));
        admin.execute(QStringLiteral("create role %1 login password 'member'").arg(QLatin1String(role)));
        auto rows = admin.query(QStringLiteral("show max_connections"));
        rows->next();
        limit = rows->value(0).toInt();
        TeamSchema::create(QStringLiteral("dbname=fennick_bench_connections"));
        PgConnection owner(QStringLiteral("dbname=fennick_bench_connections"), PgConnection::Check::None);
        owner.runScript(QStringLiteral("grant select, insert, update, delete on all tables in schema public to %1;"
                                       "grant usage on all sequences in schema public to %1;"
                                       "insert into projects (projectname, owner) select 'Project ' || i, 0 "
                                       "from generate_series(1, 2000) i")
                            .arg(QLatin1String(role)));
    } catch (const DbError& e) {
        std::printf("no team database to measure on: %s\n", qPrintable(e.description()));
        return 0;
    }
    const QString target = QStringLiteral("dbname=fennick_bench_connections user=%1 password=member").arg(role);

    const int plain = plainConnections(target);
    std::printf("server: max_connections = %d; plain connections of an ordinary role accepted: %d\n", limit, plain);
    int heldBefore = 0, heldNow = 0;
    std::printf("copies holding their list's reader (as before):\n");
    const int before = carried(target, true, heldBefore);
    std::printf("copies as they are:\n");
    const int now = carried(target, false, heldNow);
    Bench::check(now > 0 && before > 0, "starting headless clients", "none was carried");
    std::printf("copies carried, as before:  %4d  (%d connections held, %.2f per copy)\n", before, heldBefore,
                static_cast<double>(heldBefore) / before);
    std::printf("copies carried, as now:     %4d  (%d connections held, %.2f per copy)\n", now, heldNow,
                static_cast<double>(heldNow) / now);
    std::printf("ratio now / before: %.2f; now / plain connections: %.2f (goal: about 95 copies on a stock server)\n",
                static_cast<double>(now) / before, static_cast<double>(now) / plain);
    PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
    admin.execute(QStringLiteral("drop database if exists fennick_bench_connections with (force)"));
    admin.execute(QStringLiteral("drop role if exists ") + QLatin1String(role));
    return 0;
}
