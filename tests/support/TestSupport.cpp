#include "TestSupport.h"

#include "app/Backup.h"
#include "app/DataStore.h"
#include "app/Database.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QtTest>

#include <algorithm>
#include <cmath>

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
    Backup::stopDailyBackup(); // before the folders go
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

double contrastRatio(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
