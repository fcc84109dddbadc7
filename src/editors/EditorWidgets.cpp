#include "EditorWidgets.h"

#include "DatePicker.h"

#include "app/RecordGuard.h"

#include "app/Database.h"
#include "app/DbError.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/NumericText.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

#include <limits>

namespace EditorWidgets {

QLineEdit* lineEdit(QWidget* parent, const QString& name, const QString& text) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    // A one-line box would otherwise keep only its first 32767 characters of a long paste and
    // drop the rest without a word.
    e->setMaxLength(std::numeric_limits<int>::max());
    return e;
}

QPlainTextEdit* notesEdit(QWidget* parent, const QString& name) {
    auto* e = new QPlainTextEdit(parent);
    e->setObjectName(name);
    e->setTabChangesFocus(true);
    e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return e;
}

QDateEdit* datePicker(QWidget* parent, const QString& name) {
    auto* d = new DatePicker(parent);
    d->setObjectName(name);
    d->setCalendarPopup(true);
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    // A two-digit year would be read back in the wrong century.
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    d->setDisplayFormat(format);
    return d;
}

void showDate(QDateEdit* picker, const QVariant& stored, const QString& column) {
    auto* own = qobject_cast<DatePicker*>(picker);
    if (stored.isNull() && own) {
        own->setBlank();
        return;
    }
    const QDate d = stored.isNull() ? QDate() : QDate::fromString(stored.toString().left(10), Qt::ISODate);
    if (!d.isValid())
        throw DbError(QStringLiteral("Type mismatch (%1 is not a date)").arg(column));
    picker->setDate(d);
}

QDate pickedDate(const QDateEdit* picker) {
    if (const auto* own = qobject_cast<const DatePicker*>(picker))
        return own->pickedDate();
    return picker->date();
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, QWidget* buddy) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setBuddy(buddy);
    return l;
}

QPushButton* pushButton(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

QString numberField(const QVariant& value) {
    return NumericText::toLocaleText(value);
}

bool passes(std::initializer_list<Check> checks) {
    for (const Check& c : checks) {
        if (c.failed) {
            Messages::current().notice(QString::fromLatin1(c.message));
            c.field->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    return true;
}

namespace {
// What undoes a save whose companion writing refused: the reason, for the user.
struct SaveRefused {
    QString reason;
};
} // namespace

bool saveRecord(const QString& window, int line, bool editing, const QString& statement, QObject* editor,
                const std::function<QString()>& whyRefused, const std::function<QString()>& alongside) {
    ErrorTrap trap(window, QStringLiteral("PushButton2_Click"));
    int changed = 0;
    QString refusal;
    RecordGuard* guard = editing ? RecordGuard::of(editor) : nullptr;
    RecordGuard::Outcome outcome = RecordGuard::Outcome::Saved;
    std::function<void()> withStatement;
    if (alongside && editing) {
        withStatement = [&alongside] {
            const QString reason = alongside();
            if (!reason.isEmpty())
                throw SaveRefused{reason};
        };
    }
    if (!trap.step(line, [&] {
            try {
                Database& db = Database::shared();
                if (guard) {
                    outcome = guard->save(statement, changed, withStatement);
                } else if (withStatement) {
                    db.transaction([&] {
                        changed = db.execute(statement);
                        if (changed > 0)
                            withStatement();
                    });
                } else {
                    changed = db.execute(statement);
                }
            } catch (const SaveRefused& refused) {
                refusal = refused.reason;
            } catch (const DbError& e) {
                if (e.inUse()) // locked by someone else: a situation to wait out, not a fault
                    refusal = e.description();
                else if (whyRefused)
                    refusal = whyRefused();
                if (refusal.isEmpty())
                    throw;
            }
        }))
        return false;
    if (!refusal.isEmpty()) {
        Messages::current().notice(refusal);
        return false;
    }
    if (outcome == RecordGuard::Outcome::KeptOpen)
        return false;
    if (editing && changed == 0) {
        Messages::current().notice(QStringLiteral("This record no longer exists: it may have been deleted while the "
                                                  "window was open. Nothing was saved."));
        return false;
    }
    Messages::current().notice(editing ? QStringLiteral("Record Successfully Updated")
                                       : QStringLiteral("Record Successfully Saved"));
    return true;
}

} // namespace EditorWidgets
