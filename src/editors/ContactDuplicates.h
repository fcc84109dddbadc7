// The contact editor's warning before it saves a contact that is already there: the same first
// name, last name and e-mail address as another contact.
#pragma once

#include <QString>
#include <QStringList>

namespace ContactDuplicates {

// The query for other contacts with the names and e-mail address of the editor's boxes
// (Text1 first); a missing e-mail address matches an empty one. id: the contact being edited,
// left out, and nothing found when it had these names and address already; empty when adding.
QString query(const QStringList& fields, const QString& id);
// The question put to the user before such a contact is saved.
QString question(const QStringList& fields);
// Whether another contact has the same names and e-mail address (runs the query).
bool exists(const QStringList& fields, const QString& id);

} // namespace ContactDuplicates
