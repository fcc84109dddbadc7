#include "SaveFolder.h"

#include "DbError.h"
#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace SaveFolder {

namespace {
const QString key = QStringLiteral("LastSaveFolder");
}

QString start() {
    const QString last = Settings::read(key, QString());
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString suggestedPath(const QString& suggestedName) {
    return QDir(start()).filePath(suggestedName);
}

void remember(const QString& chosenPath) {
    if (chosenPath.isEmpty())
        return;
    try {
        Settings::write(key, QFileInfo(chosenPath).absolutePath());
    } catch (const DbError&) {
    }
}

} // namespace SaveFolder
