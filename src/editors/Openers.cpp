#include "Openers.h"

#include "Form2.h"
#include "Form3.h"
#include "Form5.h"

#include "app/Database.h"
#include "app/Messages.h"

namespace Editors {

namespace {

// Whether the record to edit is still there. One deleted elsewhere meanwhile (or taken away by
// a TRUNCATE that no list heard of) is said so: an editor opened on it would show blank fields
// with today's dates and save nothing. Throws DbError when it cannot be read.
bool stillThere(const QString& table, const QString& noun, const QString& id) {
    if (id.isEmpty())
        return true; // a new record
    ResultSet rs = Database::shared().query(
        QStringLiteral("select ID from %1 where ID=%2").arg(table, QString::number(id.toLongLong())));
    const bool there = !rs.eof();
    rs.close();
    if (!there)
        Messages::current().notice(QStringLiteral("This %1 no longer exists: it may have been deleted elsewhere "
                                                  "meanwhile, so it was not opened.")
                                       .arg(noun));
    return there;
}

} // namespace

// Each use gets a fresh window, so its lists are read anew and its mode decided anew.

void openProjectEditor(QWidget* parent, const QString& id, const QString& caption) {
    if (!stillThere(QStringLiteral("Projects"), QStringLiteral("project"), id))
        return;
    Form2 form(parent);
    form.m_ID = id;
    form.setWindowTitle(caption);
    form.exec();
}

void openTaskEditor(QWidget* parent, const QString& id, const QString& projectId, const QString& caption) {
    if (!stillThere(QStringLiteral("Tasks"), QStringLiteral("task"), id))
        return;
    Form5 form(parent);
    form.m_ID = id;
    form.m_ProjectID = projectId;
    form.setWindowTitle(caption);
    form.exec();
}

void openContactEditor(QWidget* parent, const QString& id) {
    if (!stillThere(QStringLiteral("Employees"), QStringLiteral("contact"), id))
        return;
    Form3 form(parent);
    form.m_ID = id;
    form.exec();
}

} // namespace Editors
