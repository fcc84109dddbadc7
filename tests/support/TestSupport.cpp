#include "TestSupport.h"

#include "app/DataStore.h"
#include "app/Database.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

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

QString ScriptedMessages::saveFileName(const QString& caption, const QString& suggestedName, const QString&) {
    m_shown.push_back({Kind::SaveFile, caption, suggestedName});
    if (m_saveFileNames.empty())
        return {};
    const QString path = m_saveFileNames.front();
    m_saveFileNames.pop_front();
    return path;
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

TestEnvironment::TestEnvironment() {
    Database::shared().close();
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
    Database::shared().close();
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
    Database::shared().open(DataStore::workingDatabase());
}

void TestEnvironment::exec(const QString& statement) {
    Database::shared().execute(statement);
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
