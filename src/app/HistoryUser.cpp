#include "HistoryUser.h"

#include <QDir>

namespace HistoryUser {
QString localName() {
    for (const char* variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QDir::home().dirName();
}
} // namespace HistoryUser
