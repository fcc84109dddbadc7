// Small pieces the three editors build their windows from.
#pragma once

#include <QString>

class QDate;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVariant;
class QWidget;

namespace EditorWidgets {

QLineEdit* lineEdit(QWidget* parent, const QString& name, const QString& text = QString());
// A multi-line box with a vertical scroll bar; Tab leaves it instead of typing a tab.
QPlainTextEdit* notesEdit(QWidget* parent, const QString& name);
// A date picker with a calendar that shows the date in the system's short format (four-digit year).
QDateEdit* datePicker(QWidget* parent, const QString& name);
QLabel* label(QWidget* parent, const QString& name, const QString& caption, QWidget* buddy);
QPushButton* pushButton(QWidget* parent, const QString& name, const QString& caption);

// Whether a box counts as empty: nothing left after trimming blanks at both ends.
bool isBlank(const QString& text);

// A stored number as an editor shows it; a missing value is an error.
QString numberField(const QVariant& value, const QString& column);

// The notices of a save.
QString savedNotice();
QString updatedNotice();
QString goneNotice();

} // namespace EditorWidgets
