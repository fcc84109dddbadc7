// How other windows open the editors: set the identifiers and the caption, show the editor
// modally, and return when it has closed. The editors write their own rows.
#pragma once

#include <QString>

class QWidget;

namespace Editors {

// The project editor (Form2): id empty to add, else the project's ID as text.
void openProjectEditor(QWidget* parent, const QString& id, const QString& caption);
// The task editor (Form5): id empty to add; projectId the task's project.
void openTaskEditor(QWidget* parent, const QString& id, const QString& projectId, const QString& caption);
// The contact editor (Form3): id empty to add, else the contact's ID as text.
void openContactEditor(QWidget* parent, const QString& id);

} // namespace Editors
