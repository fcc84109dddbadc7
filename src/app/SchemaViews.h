// The two stored views the lists read ("Open Projects", "Open Tasks") as the schema scripts
// define them, and the bringing up to date of those of a database made by an earlier version.
// Only the views change: they hold no data, so replacing them loses nothing.
#pragma once

#include <QString>
#include <QStringList>

class Connection;

namespace SchemaViews {

// A text that today's views give and older ones lack: the name shown for a contact that no
// longer exists.
inline constexpr char deletedContact[] = "(deleted contact)";

// The statements of a schema script that create the two list views, in the script's order.
QStringList listViews(const QString& script);
// The schema script of the local file, as built into the program.
QString localScript();
// Replaces the list views of an older local file by today's. Does nothing when they are current
// or the file may not be changed; when anything fails the old views stay as they were.
void bringLocalUpToDate(Connection& connection);

} // namespace SchemaViews
