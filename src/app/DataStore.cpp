#include "DataStore.h"

#include "DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataStore {

namespace {
QString g_programFolder;

void makeFolder(const QString& path) {
    // Any entry of that name, file or folder, counts as present.
    if (QFileInfo::exists(path))
        return;
    if (!QDir().mkdir(path))
        throw DbError(QStringLiteral("Path/File access error: could not create the folder '%1'.").arg(path));
}
} // namespace

QString programFolder() {
    if (!g_programFolder.isEmpty())
        return g_programFolder;
    return QCoreApplication::applicationDirPath();
}

void setProgramFolderForTesting(const QString& folder) {
    g_programFolder = folder;
}

QString baseFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}
QString companyFolder() {
    return baseFolder() + QStringLiteral("/Tarnwick");
}
QString dataFolder() {
    return companyFolder() + QStringLiteral("/Fennick Planner");
}
QString workingDatabase() {
    return dataFolder() + QStringLiteral("/dbData.mdb");
}
QString templateDatabase() {
    return programFile(QStringLiteral("dbBlank.mdb"));
}

QString installedDataFolder() {
    return QDir::cleanPath(programFolder() + QStringLiteral("/../share/fennick-planner"));
}

QString userConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        return {};
    return base + QStringLiteral("/Tarnwick/Fennick Planner");
}

QStringList searchFolders(Search search) {
    QStringList folders{programFolder()};
    if (search == Search::ProgramAndUser && !userConfigFolder().isEmpty())
        folders << userConfigFolder();
    folders << installedDataFolder();
    return folders;
}

QString programFile(const QString& relativePath, Search search) {
    const QStringList folders = searchFolders(search);
    for (const QString& folder : folders) {
        const QString candidate = folder + QLatin1Char('/') + relativePath;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return folders.first() + QLatin1Char('/') + relativePath;
}

bool fileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

void makeCompanyFolder() {
    // A new user account may not have its data folder yet (~/.local/share): make it first.
    const QString base = baseFolder();
    if (!base.isEmpty() && !QFileInfo::exists(base) && !QDir().mkpath(base))
        throw DbError(QStringLiteral("Path/File access error: could not create the folder '%1'.").arg(base));
    makeFolder(companyFolder());
}
void makeDataFolder() {
    makeFolder(dataFolder());
}

void copyTemplateIfMissing() {
    const QString target = workingDatabase();
    if (fileExists(target))
        return; // an existing working database is never replaced
    const QString source = templateDatabase();
    if (!QFileInfo(source).isFile())
        throw DbError(QStringLiteral("File not found: the empty database '%1' is missing.").arg(source));
    // Copy under a temporary name first so an interrupted copy never looks like a database.
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(source, partial))
        throw DbError(QStringLiteral("Path/File access error: could not copy '%1' to '%2'.").arg(source, target));
    QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw DbError(QStringLiteral("Path/File access error: could not create '%1'.").arg(target));
    }
}

} // namespace DataStore
