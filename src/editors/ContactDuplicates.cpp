#include "ContactDuplicates.h"

#include "app/Database.h"
#include "app/SqlText.h"

namespace ContactDuplicates {

namespace {
// Boxes Text1, Text2 and Text14.
QString firstName(const QStringList& fields) {
    return fields.value(0);
}
QString lastName(const QStringList& fields) {
    return fields.value(1);
}
QString email(const QStringList& fields) {
    return fields.value(13);
}
} // namespace

QString query(const QStringList& fields, const QString& id) {
    const QString match = QStringLiteral("FirstName=") + SqlText::quoted(firstName(fields)) +
                          QStringLiteral(" and LastName=") + SqlText::quoted(lastName(fields)) +
                          QStringLiteral(" and coalesce(Email,'')=") + SqlText::quoted(email(fields));
    QString q = QStringLiteral("select ID from Employees where ") + match;
    // A contact that had these names and address before the edit is not asked about again.
    if (!id.isEmpty())
        q += QStringLiteral(" and ID<>") + id + QStringLiteral(" and not exists (select 1 from Employees where ID=") +
             id + QStringLiteral(" and ") + match + QLatin1Char(')');
    return q;
}

QString question(const QStringList& fields) {
    const QString name = firstName(fields) + QLatin1Char(' ') + lastName(fields);
    const QString mail = email(fields).trimmed().isEmpty()
                             ? QStringLiteral("without an e-mail address")
                             : QStringLiteral("with the e-mail address %1").arg(email(fields));
    return QStringLiteral("A contact named %1 %2 already exists.\r\nDo you wish to save this one as well?")
        .arg(name, mail);
}

bool exists(const QStringList& fields, const QString& id) {
    ResultSet rs = Database::shared().query(query(fields, id));
    const bool found = !rs.eof();
    rs.close();
    return found;
}

} // namespace ContactDuplicates
