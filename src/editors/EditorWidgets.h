// Small pieces the three editors build their windows from.
#pragma once

#include <functional>

#include <QString>

#include <initializer_list>

class QDate;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QObject;
class QVariant;
class QWidget;

namespace EditorWidgets {

QLineEdit* lineEdit(QWidget* parent, const QString& name, const QString& text = QString());
// A multi-line box with a vertical scroll bar; Tab leaves it instead of typing a tab.
QPlainTextEdit* notesEdit(QWidget* parent, const QString& name);
// A date picker with a calendar that shows the date in the system's short format (four-digit year)
// and takes a date typed in that format or as yyyy-MM-dd. It can be blank.
QDateEdit* datePicker(QWidget* parent, const QString& name);
// Shows a stored date (yyyy-MM-dd text); a missing value leaves the picker blank, a text that is
// no date is an error.
void showDate(QDateEdit* picker, const QVariant& stored, const QString& column);
// The date a picker shows; an invalid date when it is blank.
QDate pickedDate(const QDateEdit* picker);
QLabel* label(QWidget* parent, const QString& name, const QString& caption, QWidget* buddy);
QPushButton* pushButton(QWidget* parent, const QString& name, const QString& caption);

// Whether a box counts as empty: nothing left after trimming blanks at both ends.
bool isBlank(const QString& text);

// A stored number as an editor shows it; a missing value shows as an empty field, which the
// save then asks for.
QString numberField(const QVariant& value);

// One validation step of a save: when it failed, its message is shown and the focus moves to
// its field.
struct Check {
    bool failed;
    const char* message;
    QWidget* field;
};
// Runs the checks in order and stops at the first failure; true when every check passed.
bool passes(std::initializer_list<Check> checks);

// Writes the record with one statement under the save handler's trap and tells the user how it
// went. True when the editor may close: a failed write, or an update of a record that no longer
// exists, saved nothing and leaves the window open with what the user typed.
// editor: the editor window, whose record guard (if any) keeps an edit from overwriting someone
// else's save. A record in use elsewhere (locked by another session) is said in a notice. When
// the write fails otherwise, `whyRefused` may name a cause that is the user's situation
// rather than a fault (the record it belongs to was deleted meanwhile): that text is shown as a
// notice instead of the error box. It returns the empty text when it knows no such cause.
// `alongside` (when given) is written with an update, in its transaction: it returns the empty
// text, or the reason why nothing may be saved, which undoes the update and is shown as a notice.
bool saveRecord(const QString& window, int line, bool editing, const QString& statement, QObject* editor = nullptr,
                const std::function<QString()>& whyRefused = {}, const std::function<QString()>& alongside = {});

} // namespace EditorWidgets
