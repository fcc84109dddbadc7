// What the benchmarks share: a temporary world of their own (data folder, settings store and a
// program folder holding the template) and a timer.
#pragma once

#include "app/DataStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace Bench {

// Made before the application object: the offscreen platform, and the data and settings folders
// inside a temporary folder that goes with it.
class Environment {
public:
    Environment() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_DATA_HOME", QFile::encodeName(path() + QStringLiteral("/data")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path() + QStringLiteral("/config"));
    }

    QString path() const { return m_dir.path(); }

    // Once the application object exists: a fresh working database copied from the template.
    QString workingDatabase() const {
        const QString program = path() + QStringLiteral("/program");
        QDir().mkpath(program);
        QFile::copy(QStringLiteral(FENNICK_TEMPLATE), program + QStringLiteral("/dbBlank.mdb"));
        DataStore::setProgramFolderForTesting(program);
        QDir().mkpath(DataStore::baseFolder());
        DataStore::makeCompanyFolder();
        DataStore::makeDataFolder();
        DataStore::copyTemplateIfMissing();
        return DataStore::workingDatabase();
    }

private:
    QTemporaryDir m_dir;
};

template <typename F> double timeMs(F&& f) {
    QElapsedTimer timer;
    timer.start();
    f();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace Bench
