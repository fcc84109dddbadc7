// Helpers shared by the editor tests: seed rows, open an editor as its opener does, set and read
// its controls by name, and the checks that every editor must pass the same way.
#pragma once

#include "app/SqlText.h"
#include "editors/DatePicker.h"
#include "editors/Form2.h"
#include "editors/Form3.h"
#include "editors/Form5.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace EditorTest {

template <typename T> T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning("no control %s", name);
    return w;
}

inline qint64 lastId(const QString& table) {
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from ") + table).toLongLong();
}

inline int rowCount(const QString& table) {
    return TestEnvironment::scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

inline QStringList rows(const QString& query) {
    return TestEnvironment::rows(query);
}

inline qint64 addContact(const QString& first, const QString& last, const QString& jobTitle = QString()) {
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName,JobTitle) values (%1,%2,%3)")
                              .arg(first.isNull() ? QStringLiteral("null") : SqlText::quoted(first),
                                   last.isNull() ? QStringLiteral("null") : SqlText::quoted(last),
                                   SqlText::quoted(jobTitle)));
    return lastId(QStringLiteral("Employees"));
}

// Statuses Closed / In process, categories Main / Side, priorities High / Low.
inline void addValueLists() {
    for (const char* s : {"insert into Status values ('In process')", "insert into Status values ('Closed')",
                          "insert into Categories values ('Main')", "insert into Categories values ('Side')",
                          "insert into Priorities values ('High')", "insert into Priorities values ('Low')"})
        TestEnvironment::exec(QLatin1String(s));
}

// Adds value to the status, category and priority lists.
inline void addToValueLists(const QString& value) {
    for (const char* table : {"Status", "Categories", "Priorities"})
        TestEnvironment::exec(
            QStringLiteral("insert into %1 values (%2)").arg(QLatin1String(table), SqlText::quoted(value)));
}

inline qint64 addProject(const QString& name, qint64 owner, const QString& status = QStringLiteral("In process"),
                         const QString& category = QStringLiteral("Main"),
                         const QString& priority = QStringLiteral("High")) {
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,"
                                         "Notes,EndDate,BudgetInDays,Budget) values (%1,%2,'2021-08-31',%3,%4,%5,"
                                         "null,'2021-09-30',5,1000)")
                              .arg(SqlText::quoted(name))
                              .arg(owner)
                              .arg(SqlText::quoted(status), SqlText::quoted(category), SqlText::quoted(priority)));
    return lastId(QStringLiteral("Projects"));
}

inline qint64 addTask(qint64 project, const QString& title, qint64 assigned,
                      const QString& status = QStringLiteral("In process"),
                      const QString& priority = QStringLiteral("High")) {
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                         "PercentComplete,AssignedTo,Description,StartDate,DueDate) values "
                                         "(%1,%2,%3,%4,10,2,50,%5,null,'2021-08-31','2021-09-30')")
                              .arg(project)
                              .arg(SqlText::quoted(title), SqlText::quoted(priority), SqlText::quoted(status))
                              .arg(assigned));
    return lastId(QStringLiteral("Tasks"));
}

// Makes every insert into the table fail as a full disk would.
inline void refuseInserts(const QString& table) {
    TestEnvironment::refuse(QStringLiteral("insert"), table, QStringLiteral("The disk is full."));
}

// A fresh data store with the value lists above; message boxes are recorded.
struct Fixture {
    TestEnvironment env;
    ScriptedMessages messages;
    Fixture() {
        env.openDatabase();
        addValueLists();
    }
};

// The same, with the contacts Ann Lee and Bob Ray.
struct PeopleFixture : Fixture {
    qint64 ann = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    qint64 bob = addContact(QStringLiteral("Bob"), QStringLiteral("Ray"));
};

// Opens an editor as the opener does: the properties first, then the window shows and loads.
template <typename Form>
std::unique_ptr<Form> open(const QString& id = QString(), const QString& projectId = QString()) {
    auto form = std::make_unique<Form>();
    form->m_ID = id;
    if constexpr (requires { form->m_ProjectID; })
        form->m_ProjectID = projectId;
    form->show();
    return form;
}

inline std::unique_ptr<QDialog> open(const QString& formName, const QString& id = QString(),
                                     const QString& projectId = QString()) {
    if (formName == QLatin1String("Form2"))
        return open<Form2>(id);
    if (formName == QLatin1String("Form5"))
        return open<Form5>(id, projectId);
    return open<Form3>(id);
}

inline void click(QWidget* form, const char* button) {
    child<QPushButton>(form, button)->click();
}
inline void save(QWidget* form) {
    click(form, "PushButton2");
}

inline QStringList entries(QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

inline void pick(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
}

// Sets a control by name: a text box's text, a drop-down's entry (empty text: no entry) or a
// date (yyyy-MM-dd; empty text: blank).
inline void set(QWidget* form, const QString& name, const QString& value) {
    QWidget* w = form->findChild<QWidget*>(name);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(value);
    else if (auto* text = qobject_cast<QPlainTextEdit*>(w))
        text->setPlainText(value);
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        value.isEmpty() ? combo->setCurrentIndex(-1) : pick(combo, value);
    else if (auto* picker = qobject_cast<DatePicker*>(w); picker && value.isEmpty())
        picker->setBlank();
    else if (auto* date = qobject_cast<QDateEdit*>(w))
        date->setDate(QDate::fromString(value, Qt::ISODate));
    else
        QFAIL(qPrintable(QStringLiteral("no control ") + name));
}

// Sets controls from "name=value" texts, in order.
inline void set(QWidget* form, const QStringList& assignments) {
    for (const QString& a : assignments)
        set(form, a.section(QLatin1Char('='), 0, 0), a.section(QLatin1Char('='), 1));
}

// What a control shows, in the forms that set() takes.
inline QString shown(QWidget* form, const QString& name) {
    QWidget* w = form->findChild<QWidget*>(name);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text();
    if (auto* text = qobject_cast<QPlainTextEdit*>(w))
        return text->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return combo->currentIndex() < 0 ? QString() : combo->currentText();
    if (auto* picker = qobject_cast<DatePicker*>(w); picker && picker->isBlank())
        return QString();
    if (auto* date = qobject_cast<QDateEdit*>(w))
        return date->date().toString(Qt::ISODate);
    qWarning("no control %s", qPrintable(name));
    return QStringLiteral("(no control)");
}

inline QStringList shown(QWidget* form, const QStringList& names) {
    QStringList values;
    for (const QString& name : names)
        values << shown(form, name);
    return values;
}

// "Text1 Text2": the names in a text, for lists of controls.
inline QStringList names(const char* spaced) {
    return QString::fromLatin1(spaced).split(QLatin1Char(' '));
}

// Runs action on the modal window that the next command opens, once its event loop runs.
inline void onNextModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            qWarning("no modal window open");
            return;
        }
        action(modal);
    });
}

// The control that has the focus when the window becomes active, then each one Tab moves to.
inline QStringList focusRound(QWidget* form, qsizetype tabs) {
    QApplication::setActiveWindow(form);
    if (!QTest::qWaitForWindowActive(form))
        return {QStringLiteral("window not active")};
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (qsizetype i = 0; i < tabs; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    return visited;
}

// ---- the checks every editor passes the same way

// For a _data table of refused saves: the changes made to valid input, the notice, the focus.
inline void refusalColumns() {
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
}

inline void refusal(const char* tag, const QStringList& changes, const char* message, const char* focus) {
    QTest::newRow(tag) << changes << QString::fromUtf8(message) << QString::fromLatin1(focus);
}

// Fills the editor with valid input, makes the row's changes and saves: only the row's notice
// shows, the focus is on the failing field, the editor stays open and nothing is written.
inline void checkRefusal(QWidget* form, const ScriptedMessages& messages, const QStringList& valid,
                         const QString& table) {
    QFETCH(QStringList, changes);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    set(form, valid);
    set(form, changes);
    save(form);
    QCOMPARE(messages.notices(), QStringList{message});
    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(form->focusWidget()->objectName(), focus);
    QVERIFY(form->isVisible());
    QCOMPARE(rowCount(table), 0);
}

// For a _data table of texts that must be stored and shown again exactly.
inline void awkwardTexts() {
    QTest::addColumn<QString>("text");
    QTest::newRow("single quotes") << QStringLiteral("O'Neil's 'plan'");
    QTest::newRow("unicode") << QStringLiteral("Ünïcødé – 日本語 ✓ ☎");
    QTest::newRow("long") << QStringLiteral("ab'c ").repeated(2000);
}

// A control and the column it is saved to.
struct Binding {
    QString control;
    QString column;
};

// Saves a new record holding texts[i] in bindings[i] (and the other input), checks the row,
// opens the record again, checks that it shows the same texts, saves it unchanged and checks
// that the row stays as it was.
template <typename Form>
void checkTextsRoundTrip(const ScriptedMessages& messages, const QString& table, const QList<Binding>& bindings,
                         const QStringList& texts, const QStringList& other, const QString& projectId = QString()) {
    QStringList controls;
    QStringList columns;
    for (const Binding& b : bindings) {
        controls << b.control;
        columns << b.column;
    }
    const QString query = QStringLiteral("select %1 from %2").arg(columns.join(QLatin1Char(',')), table);
    {
        auto form = open<Form>(QString(), projectId);
        set(form.get(), other);
        for (qsizetype i = 0; i < controls.size(); ++i)
            set(form.get(), controls[i], texts[i]);
        save(form.get());
        QVERIFY(!form->isVisible());
    }
    QCOMPARE(rows(query), QStringList{texts.join(QLatin1Char('|'))});
    auto form = open<Form>(QString::number(lastId(table)), projectId);
    QCOMPARE(shown(form.get(), controls), texts);
    save(form.get());
    QCOMPARE(messages.notices().last(), QStringLiteral("Record Successfully Updated"));
    QCOMPARE(rows(query), QStringList{texts.join(QLatin1Char('|'))});
}

// Changes an open record and cancels: the editor closes, nothing is written or shown.
inline void checkCancelWritesNothing(QDialog* form, const ScriptedMessages& messages, const QStringList& changes,
                                     const QString& table) {
    const QStringList before = rows(QStringLiteral("select * from ") + table);
    set(form, changes);
    click(form, "PushButton1");
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Rejected));
    QCOMPARE(rows(QStringLiteral("select * from ") + table), before);
    QVERIFY(messages.shown().empty());
}

// A save whose statement fails shows the error box only, with no success notice, and keeps the
// editor open with everything typed.
inline void checkFailedSaveKeepsEditorOpen(QWidget* form, const ScriptedMessages& messages, const QStringList& typed,
                                           const QString& table) {
    set(form, typed);
    save(form);
    QCOMPARE(messages.errors().size(), 1);
    QVERIFY2(messages.errors()[0].contains(form->objectName() + QStringLiteral(".PushButton2_Click ")),
             qPrintable(messages.errors()[0]));
    QVERIFY(messages.notices().isEmpty());
    QVERIFY(form->isVisible());
    for (const QString& a : typed) {
        const QString name = a.section(QLatin1Char('='), 0, 0);
        QCOMPARE(name + QLatin1Char('=') + shown(form, name), a);
    }
    QCOMPARE(rowCount(table), 0);
}

// Saving a record that was deleted while the editor was open says that nothing was saved and
// keeps the editor open.
inline void checkSaveOfDeletedRecord(QWidget* form, const ScriptedMessages& messages, const QString& table) {
    save(form);
    QCOMPARE(messages.notices().size(), 1);
    QVERIFY2(messages.notices()[0].contains(QStringLiteral("no longer exists")), qPrintable(messages.notices()[0]));
    QVERIFY(messages.notices()[0].contains(QStringLiteral("Nothing was saved")));
    QVERIFY(form->isVisible());
    QCOMPARE(rowCount(table), 0);
}

} // namespace EditorTest
