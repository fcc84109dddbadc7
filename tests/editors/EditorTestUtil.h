// Helpers shared by the editor tests: seed rows, find controls by name, act on a modal window.
#pragma once

#include "app/SqlText.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>

namespace EditorTest {

template <typename T> T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QLatin1String(name));
    if (!w)
        qWarning("no control %s", name);
    return w;
}

inline qint64 lastId(const char* table) {
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from ") + QLatin1String(table)).toLongLong();
}

inline qint64 addContact(const QString& first, const QString& last, const QString& jobTitle = QString()) {
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName,JobTitle) values (%1,%2,%3)")
                              .arg(first.isNull() ? QStringLiteral("null") : SqlText::quoted(first),
                                   last.isNull() ? QStringLiteral("null") : SqlText::quoted(last),
                                   SqlText::quoted(jobTitle)));
    return lastId("Employees");
}

// Statuses Closed / In process, categories Main / Side, priorities High / Low.
inline void addValueLists() {
    for (const char* s : {"insert into Status values ('In process')", "insert into Status values ('Closed')",
                          "insert into Categories values ('Main')", "insert into Categories values ('Side')",
                          "insert into Priorities values ('High')", "insert into Priorities values ('Low')"})
        TestEnvironment::exec(QLatin1String(s));
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
    return lastId("Projects");
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
    return lastId("Tasks");
}

inline int count(const QString& query) {
    return TestEnvironment::scalar(query).toInt();
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

} // namespace EditorTest
