#include "TestSupport.h"

#include "Composition.h"
#include "app/Backup.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/SqlText.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamSchema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// The test programs run the program's pieces as the program composes them.
namespace {
void composeProgram() {
    Composition::compose();
}
} // namespace
Q_CONSTRUCTOR_FUNCTION(composeProgram)

ScriptedMessages::ScriptedMessages() {
    Messages::install(this);
}
ScriptedMessages::~ScriptedMessages() {
    Messages::install(nullptr);
}

void ScriptedMessages::notice(const QString& text) {
    m_shown.push_back({Kind::Notice, AppTitle::current(), text});
}

bool ScriptedMessages::ask(const QString& text) {
    m_shown.push_back({Kind::Question, AppTitle::current(), text});
    if (m_answers.empty())
        return false;
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

void ScriptedMessages::error(const QString& text) {
    m_shown.push_back({Kind::Error, QStringLiteral("Application Error"), text});
}

QString ScriptedMessages::input(const QString& title, const QString& prompt) {
    m_shown.push_back({Kind::Input, title, prompt});
    if (m_inputs.empty())
        return {};
    const QString text = m_inputs.front();
    m_inputs.pop_front();
    return text;
}

QString ScriptedMessages::saveFileName(const QString& title, const QString& suggestedName, const QString&) {
    m_shown.push_back({Kind::FileDialog, title, suggestedName});
    if (m_files.empty())
        return {};
    const QStringList paths = m_files.front();
    m_files.pop_front();
    return paths.value(0);
}

QStringList ScriptedMessages::openFileNames(const QString& title, const QString&, bool several) {
    m_shown.push_back({Kind::FileDialog, title, QString()});
    if (m_files.empty())
        return {};
    QStringList paths = m_files.front();
    m_files.pop_front();
    return several ? paths : paths.mid(0, 1);
}

void ScriptedMessages::waiting(const QString& text) {
    m_waitShown = !text.isEmpty();
    m_shown.push_back({m_waitShown ? Kind::Waiting : Kind::WaitEnded, QString(), text});
}

QString ScriptedMessages::password(const QString& title, const QString& prompt) {
    m_shown.push_back({Kind::Password, title, prompt});
    if (m_passwords.empty())
        return {};
    const QString text = m_passwords.front();
    m_passwords.pop_front();
    return text;
}

QStringList ScriptedMessages::texts(Kind kind) const {
    QStringList list;
    for (const Shown& s : m_shown)
        if (s.kind == kind)
            list << s.text;
    return list;
}

QString templatePath() {
    const QString fromEnv = qEnvironmentVariable("FENNICK_TEMPLATE");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/dbBlank.mdb");
}

namespace TestServer {

namespace {
std::unique_ptr<PgConnection>& adminConnection() {
    static std::unique_ptr<PgConnection> connection;
    return connection;
}
} // namespace

bool wanted() {
    return qEnvironmentVariable("FENNICK_TEST_BACKEND") == QLatin1String("postgresql");
}

QString templateName() {
    return QStringLiteral("fennick_test_template");
}

void admin(const QString& statement) {
    auto& connection = adminConnection();
    if (!connection)
        connection = std::make_unique<PgConnection>(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
    connection->execute(statement);
}

bool available() {
    try {
        admin(QStringLiteral("select 1"));
        return true;
    } catch (const DbError& e) {
        qWarning("No PostgreSQL server: %s", qPrintable(e.description()));
        return false;
    }
}

void createTemplate() {
    admin(QStringLiteral("drop database if exists %1 with (force)").arg(templateName()));
    admin(TeamSchema::createDatabaseStatement(templateName()));
    TeamSchema::create(QStringLiteral("dbname=") + templateName());
}

namespace {
// Makes the template once per server and schema: test programs running side by side take turns,
// and a template made from an older schema script is made again.
void ensureTemplate() {
    static bool done = false;
    if (done)
        return;
    const QString stamp =
        QString::fromLatin1(QCryptographicHash::hash(TeamSchema::script().toUtf8(), QCryptographicHash::Md5).toHex());
    admin(QStringLiteral("select pg_advisory_lock(7411)"));
    try {
        auto& connection = adminConnection();
        auto present = connection->query(QStringLiteral("select shobj_description(oid, 'pg_database') from "
                                                        "pg_database where datname = '%1'")
                                             .arg(templateName()));
        if (!present->next() || present->value(0).toString() != stamp) {
            createTemplate();
            admin(QStringLiteral("comment on database %1 is '%2'").arg(templateName(), stamp));
        }
    } catch (...) {
        admin(QStringLiteral("select pg_advisory_unlock(7411)"));
        throw;
    }
    admin(QStringLiteral("select pg_advisory_unlock(7411)"));
    done = true;
}

// A run that tests the team database without a server to test on is skipped as a whole.
const bool serverChecked = [] {
    if (wanted() && !available()) {
        std::fputs("SKIP: no PostgreSQL server (run the tests inside pg_virtualenv, see README)\n", stderr);
        std::exit(77);
    }
    return true;
}();
} // namespace

QString freshDatabase() {
    ensureTemplate();
    static int counter = 0;
    const QString name = QStringLiteral("fennick_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    admin(QStringLiteral("create database %1 template %2").arg(name, templateName()));
    return QStringLiteral("dbname=") + name;
}

void dropDatabase(const QString& target) {
    const QString name = target.section(QLatin1Char('='), 1);
    admin(QStringLiteral("drop database if exists %1 with (force)").arg(name));
}

} // namespace TestServer

TestEnvironment::TestEnvironment() {
    Database::shared().close();
    if (TestServer::wanted()) {
        m_team = TestServer::freshDatabase();
        qputenv("FENNICK_DATABASE", m_team.toUtf8());
    } else {
        qunsetenv("FENNICK_DATABASE"); // the local file, whatever the caller's environment says
    }
    AppTitle::set(QString());
    QDir().mkpath(programFolder());
    QDir().mkpath(dataHome());
    QDir().mkpath(configHome());
    if (!QFile::copy(templatePath(), programFolder() + QStringLiteral("/dbBlank.mdb")))
        qWarning("TestEnvironment: template not found at %s", qPrintable(templatePath()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configHome());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configHome());
    DataStore::setProgramFolderForTesting(programFolder());
}

TestEnvironment::~TestEnvironment() {
    Backup::stopDailyBackup(); // before the folders go
    Database::shared().close();
    if (!m_team.isEmpty()) {
        qunsetenv("FENNICK_DATABASE");
        try {
            TestServer::dropDatabase(m_team);
        } catch (const DbError& e) {
            qWarning("%s", qPrintable(e.description()));
        }
    }
    DataStore::setProgramFolderForTesting(QString());
    AppTitle::set(QString());
}

QString TestEnvironment::programFolder() const {
    return m_dir.path() + QStringLiteral("/program");
}
QString TestEnvironment::dataHome() const {
    return m_dir.path() + QStringLiteral("/data");
}
QString TestEnvironment::configHome() const {
    return m_dir.path() + QStringLiteral("/config");
}

void TestEnvironment::openDatabase() {
    DataStore::makeCompanyFolder();
    DataStore::makeDataFolder();
    DataStore::copyTemplateIfMissing();
    Database::shared().open(databaseTarget());
}

QString TestEnvironment::databaseTarget() const {
    return m_team.isEmpty() ? DataStore::workingDatabase() : m_team;
}

void TestEnvironment::exec(const QString& statement) {
    Database::shared().execute(statement);
}

void TestEnvironment::blockBackups() {
    Backup::waitForDailyBackup();
    const QString folder = Backup::folderFor(DataStore::workingDatabase());
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    if (!blocker.open(QIODevice::WriteOnly))
        qWarning("TestEnvironment: could not block the backup folder");
}

QVariant TestEnvironment::scalar(const QString& query) {
    ResultSet rs = Database::shared().query(query);
    return rs.eof() ? QVariant() : rs.value(0);
}

QStringList TestEnvironment::rows(const QString& query) {
    QStringList result;
    ResultSet rs = Database::shared().query(query);
    while (!rs.eof()) {
        QStringList values;
        for (int i = 0; i < rs.columnCount(); ++i)
            values << rs.value(i).toString();
        result << values.join(QLatin1Char('|'));
        rs.moveNext();
    }
    return result;
}

void TestEnvironment::refuse(const QString& event, const QString& table, const QString& message) {
    static int count = 0;
    const QString name = QStringLiteral("refuse_%1").arg(++count);
    if (isTeam()) {
        exec(QStringLiteral("create function %1() returns trigger language plpgsql as $$ begin raise exception %2; "
                            "end $$")
                 .arg(name, SqlText::quoted(message)));
        exec(QStringLiteral("create trigger %1 before %2 on %3 for each row execute function %1()")
                 .arg(name, event, table));
        return;
    }
    exec(QStringLiteral("create trigger %1 before %2 on %3 begin select raise(abort, %4); end")
             .arg(name, event, table, SqlText::quoted(message)));
}

void TestEnvironment::withoutForeignKeys(const std::function<void()>& statements) {
    exec(isTeam() ? QStringLiteral("set session_replication_role = replica")
                  : QStringLiteral("PRAGMA foreign_keys = OFF"));
    statements();
    exec(isTeam() ? QStringLiteral("set session_replication_role = origin")
                  : QStringLiteral("PRAGMA foreign_keys = ON"));
}

double contrastRatio(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString refusalOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const DbError& e) {
        return e.description();
    }
    return QStringLiteral("(not refused)");
}

QProcess* startChild(const QStringList& args) {
    auto* child = new QProcess;
    child->setProgram(QCoreApplication::applicationFilePath());
    child->setArguments(QStringList{QStringLiteral("--child")} + args);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start();
    child->waitForStarted();
    return child;
}
