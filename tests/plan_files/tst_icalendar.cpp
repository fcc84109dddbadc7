// iCalendar files: real exports of calendar programs imported with the right tasks and dates, the
// time zones, recurrences and relations of the reader, our export read back by our reader and by
// Python's icalendar, bad input refused plainly, and the menu and command line, on either kind of
// database. The local time zone is Auckland's, so that a time in another zone lands on another day.
#include "app/CommandLine.h"
#include "app/Database.h"
#include "app/DatabaseChoice.h"
#include "app/widgets/RecordListModel.h"
#include "main_window/Form1.h"
#include "plan_exchange/PlanPreviewDialog.h"
#include "plan_files/ICalendar.h"
#include "plan_files/PlanCommandLine.h"
#include "plan_files/PlanExport.h"
#include "plan_files/PlanImport.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <ctime>

using PlanFiles::FileTask;
using PlanFiles::PlanFile;
using PlanFiles::Priority;

namespace {

QString dataFile(const QString& name) {
    return QStringLiteral(FENNICK_TEST_DATA "/icalendar/") + name;
}

QByteArray calendar(const QByteArray& body) {
    QByteArray text = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Test//EN\n" + body + "\nEND:VCALENDAR\n";
    return text.replace("\n", "\r\n");
}

bool readBytes(const QByteArray& bytes, PlanFile& plan, QString* error, bool events = false) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return PlanFiles::readICalendar(buffer, plan, error, events);
}

const FileTask* named(const PlanFile& plan, const QString& name) {
    for (const FileTask& t : plan.tasks)
        if (t.name == name)
            return &t;
    return nullptr;
}

QString nameOf(const PlanFile& plan, const QString& key) {
    for (const FileTask& t : plan.tasks)
        if (t.key == key)
            return t.name;
    return QString();
}

// A project of our own: a summary with two tasks, a milestone, links of two kinds with a lag, and
// texts that need escaping and folding.
PlanFile samplePlan() {
    PlanFile plan;
    plan.format = QStringLiteral("test");
    plan.projectName = QStringLiteral("Launch; \"phase\", one");
    auto task = [&](const QString& key, const QString& parent, const QString& name, QDate start, QDate finish,
                    int percent, Priority priority) {
        FileTask t;
        t.key = key;
        t.parentKey = parent;
        t.name = name;
        t.start = t.startNoEarlierThan = start;
        t.finish = finish;
        t.lengthDays = plan.calendar.workingDaysBetween(start, finish);
        t.percentComplete = percent;
        t.priority = priority;
        plan.tasks.append(t);
    };
    task(QStringLiteral("d"), QString(), QStringLiteral("Design"), QDate(2027, 1, 4), QDate(2027, 1, 8), 0,
         Priority::Normal);
    plan.tasks.last().summary = true;
    task(QStringLiteral("a"), QStringLiteral("d"),
         QStringLiteral("Sketch every screen of the application, the settings pages and the dialogs – Äpfel, Öl, "
                        "Übermaß"),
         QDate(2027, 1, 4), QDate(2027, 1, 6), 100, Priority::Highest);
    plan.tasks.last().notes = QStringLiteral("First line, with a comma; a semicolon\nsecond line \\ backslash");
    task(QStringLiteral("b"), QStringLiteral("d"), QStringLiteral("Review"), QDate(2027, 1, 7), QDate(2027, 1, 8), 40,
         Priority::Low);
    task(QStringLiteral("m"), QString(), QStringLiteral("Sign-off"), QDate(2027, 1, 13), QDate(2027, 1, 13), 0,
         Priority::High);
    plan.tasks.last().milestone = true;
    plan.tasks.last().lengthDays = 0;
    plan.links.append({QStringLiteral("a"), QStringLiteral("b"), LinkKind::FinishToStart, 0});
    plan.links.append({QStringLiteral("b"), QStringLiteral("m"), LinkKind::StartToStart, 4});
    return plan;
}

// Value lists with the words the import and export look for.
void fillLists() {
    for (const char* s : {"insert into Status values ('Open')", "insert into Status values ('In Progress')",
                          "insert into Status values ('Completed')", "insert into Categories values ('Main')",
                          "insert into Priorities values ('High')", "insert into Priorities values ('Normal')",
                          "insert into Priorities values ('Low')"})
        TestEnvironment::exec(QString::fromLatin1(s));
}

// Each task as one comparable line: name, dates, percent, priority, milestone, notes, parent.
QStringList described(const PlanFile& plan) {
    QStringList lines;
    for (const FileTask& t : plan.tasks)
        lines << QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
                     .arg(t.name, t.start.toString(Qt::ISODate), t.finish.toString(Qt::ISODate))
                     .arg(t.percentComplete)
                     .arg(static_cast<int>(t.priority))
                     .arg(t.milestone)
                     .arg(t.notes, nameOf(plan, t.parentKey));
    for (const PlanFiles::FileLink& l : plan.links)
        lines << QStringLiteral("link %1 -> %2 kind %3 lag %4")
                     .arg(nameOf(plan, l.predecessorKey), nameOf(plan, l.successorKey))
                     .arg(static_cast<int>(l.kind))
                     .arg(l.lagDays);
    lines.sort();
    return lines;
}

} // namespace

class TestICalendar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void importsRealFiles_data();
    void importsRealFiles();
    void readsDatesAndRecurrences_data();
    void readsDatesAndRecurrences();
    void outlineAndLinksFromRelations();
    void aChangedToDoKeepsTheFormOfItsDates_data();
    void aChangedToDoKeepsTheFormOfItsDates();
    void exportReadsBack();
    void exportParsesInPython();
    void refusesBadInput_data();
    void refusesBadInput();
    void commandLine();
    void aFreshDatabaseOnTheCommandLine();
    void fromTheMenus();
};

void TestICalendar::initTestCase() {
    qputenv("TZ", "Pacific/Auckland");
    tzset();
}

void TestICalendar::importsRealFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("events");
    QTest::addColumn<QString>("project");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("finish");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("priority");
    QTest::addColumn<QString>("notKept"); // parts (split by |) of what the preview lists as not kept
    // 14:00 in Chicago is 07:00 the next morning in Auckland.
    QTest::newRow("Thunderbird: due at a time in Chicago")
        << "thunderbird_basic_due_date.ics" << false << "thunderbird_basic_due_date" << 1 << "New Task"
        << QDate(2018, 4, 18) << QDate(2018, 4, 18) << 0 << int(Priority::Unknown) << "";
    QTest::newRow("Apple Reminders: a daily to-do with an alarm")
        << "apple_repeat_daily.ics" << false << "apple_repeat_daily" << 1 << "Test daily" << QDate(2018, 4, 18)
        << QDate(2018, 4, 18) << 0 << int(Priority::Unknown) << "1 recurring to-do:";
    // No dates: the day it was made.
    QTest::newRow("Nextcloud: priority 3, no dates")
        << "nextcloud_priority_7_stars.ics" << false << "nextcloud_priority_7_stars" << 1 << "Test"
        << QDate(2018, 4, 17) << QDate(2018, 4, 17) << 0 << int(Priority::High) << "without dates";
    // DTSTART in UTC (the afternoon in Auckland), DUE floating; a malformed LAST-MODIFIED.
    QTest::newRow("Evolution: in process, categories")
        << "evolution_todo_full2.ics" << false << "evolution_todo_full2" << 1 << "summary" << QDate(2005, 3, 6)
        << QDate(2005, 3, 30) << 50 << int(Priority::Low) << "Categories of 1 to-do:|(CLASS) of 1 to-do:";
    QTest::newRow("Evolution: completed")
        << "evolution_todo_full3.ics" << false << "evolution_todo_full3" << 1 << "summary" << QDate(2005, 3, 6)
        << QDate(2005, 3, 30) << 100 << int(Priority::Normal) << "completion dates";
    // All-day events end the day before DTEND; a time in "GMT Standard Time" (the file's
    // VTIMEZONE) on 4 October, 18:30, is the next morning here.
    QTest::newRow("Outlook: events as tasks")
        << "outlook_alarm_in_future.ics" << true << "Kalender" << 3 << "test123" << QDate(2024, 7, 1)
        << QDate(2024, 7, 7) << 0 << int(Priority::Normal) << "2 recurring";
}

void TestICalendar::importsRealFiles() {
    QFETCH(QString, file);
    QFETCH(bool, events);
    QFETCH(QString, project);
    QFETCH(int, tasks);
    QFETCH(QString, name);
    QFETCH(QDate, start);
    QFETCH(QDate, finish);
    QFETCH(int, percent);
    QFETCH(int, priority);
    QFETCH(QString, notKept);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    PlanFile plan;
    QString error;
    QVERIFY2(PlanImport::readFile(dataFile(file), plan, &error, events), qPrintable(error));
    QCOMPARE(plan.format, QStringLiteral("iCalendar"));
    QCOMPARE(plan.projectName, project);
    QCOMPARE(plan.tasks.size(), tasks);
    const FileTask* t = named(plan, name);
    QVERIFY(t);
    QCOMPARE(t->start, start);
    QCOMPARE(t->finish, finish);
    QCOMPARE(t->percentComplete, percent);
    QCOMPARE(int(t->priority), priority);
    for (const QString& part : notKept.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        QVERIFY2(plan.notKept.join(QLatin1Char('\n')).contains(part), qPrintable(plan.notKept.join('\n')));
    if (file.startsWith(QLatin1String("outlook")))
        QCOMPARE(named(plan, QStringLiteral("outlook event with alarm"))->start, QDate(2024, 10, 5));

    const PlanImport::Preview preview = PlanImport::preview(plan);
    QCOMPARE(preview.tasks, tasks);
    const qint64 id = PlanImport::write(plan, plan.projectName, plan.owner);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where ProjectID=%1").arg(id)).toInt(),
             tasks);
    QCOMPARE(
        TestEnvironment::scalar(
            QStringLiteral("select PercentComplete from Tasks where ProjectID=%1 and Title='%2'").arg(id).arg(name))
            .toInt(),
        percent);
    QVERIFY(messages.errors().isEmpty());
}

void TestICalendar::readsDatesAndRecurrences_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("finish");
    QTest::addColumn<int>("percent");
    const QByteArray todo = "BEGIN:VTODO\nUID:t\nSUMMARY:T\n";
    QTest::newRow("all-day: DUE is the last day")
        << todo + "DTSTART;VALUE=DATE:20270104\nDUE;VALUE=DATE:20270108\nEND:VTODO" << QDate(2027, 1, 4)
        << QDate(2027, 1, 8) << 0;
    QTest::newRow("due at midnight: the day before") << todo + "DTSTART:20270104T090000\nDUE:20270109T000000\nEND:VTODO"
                                                     << QDate(2027, 1, 4) << QDate(2027, 1, 8) << 0;
    QTest::newRow("UTC: the local day") << todo + "DUE:20270104T200000Z\nEND:VTODO" << QDate(2027, 1, 5)
                                        << QDate(2027, 1, 5) << 0;
    QTest::newRow("a zone the file does not define")
        << todo + "DUE;TZID=Europe/Berlin:20270104T230000\nEND:VTODO" << QDate(2027, 1, 5) << QDate(2027, 1, 5) << 0;
    QTest::newRow("an Outlook zone name, undefined")
        << todo + "DUE;TZID=W. Europe Standard Time:20270104T230000\nEND:VTODO" << QDate(2027, 1, 5)
        << QDate(2027, 1, 5) << 0;
    QTest::newRow("floating: its own day")
        << todo + "DUE:20270104T230000\nEND:VTODO" << QDate(2027, 1, 4) << QDate(2027, 1, 4) << 0;
    QTest::newRow("DURATION") << todo + "DTSTART:20270104T090000\nDURATION:PT48H\nEND:VTODO" << QDate(2027, 1, 4)
                              << QDate(2027, 1, 6) << 0;
    QTest::newRow("DUE before DTSTART") << todo + "DTSTART;VALUE=DATE:20270108\nDUE;VALUE=DATE:20270104\nEND:VTODO"
                                        << QDate(2027, 1, 8) << QDate(2027, 1, 8) << 0;
    QTest::newRow("folded lines, lower case, completed")
        << todo + "dtstart;value=date:2027\n 0104\nstatus:COMPLETED\nEND:VTODO" << QDate(2027, 1, 4)
        << QDate(2027, 1, 4) << 100;
    QTest::newRow("event: DTEND is the day after") << QByteArray("BEGIN:VEVENT\nUID:e\nSUMMARY:E\nDTSTART;VALUE=DATE:"
                                                                 "20270104\nDTEND;VALUE=DATE:20270106\nEND:VEVENT")
                                                   << QDate(2027, 1, 4) << QDate(2027, 1, 5) << 0;
    QTest::newRow("event of an hour") << QByteArray("BEGIN:VEVENT\nUID:e\nSUMMARY:E\nDTSTART:20270104T090000\nDTEND:"
                                                    "20270104T100000\nEND:VEVENT")
                                      << QDate(2027, 1, 4) << QDate(2027, 1, 4) << 0;
    QTest::newRow("recurring: the first occurrence is open")
        << todo + "DTSTART;VALUE=DATE:20270104\nDUE;VALUE=DATE:20270105\nRRULE:FREQ=WEEKLY\nEND:VTODO"
        << QDate(2027, 1, 4) << QDate(2027, 1, 5) << 0;
    QTest::newRow("recurring: done by an override, excluded")
        << todo + "DTSTART;VALUE=DATE:20270104\nDUE;VALUE=DATE:20270105\nRRULE:FREQ=WEEKLY;COUNT=5\nEXDATE;VALUE=DATE:"
                  "20270111\nEND:VTODO\nBEGIN:VTODO\nUID:t\nSUMMARY:T\nRECURRENCE-ID;VALUE=DATE:20270104\nSTATUS:"
                  "COMPLETED\nEND:VTODO"
        << QDate(2027, 1, 18) << QDate(2027, 1, 19) << 0;
    // Completed at 23:00 UTC on the 5th: the 6th here.
    QTest::newRow("recurring: completed up to a date")
        << todo + "DUE;VALUE=DATE:20270104\nRRULE:FREQ=DAILY\nCOMPLETED:20270105T230000Z\nEND:VTODO"
        << QDate(2027, 1, 7) << QDate(2027, 1, 7) << 0;
}

void TestICalendar::readsDatesAndRecurrences() {
    QFETCH(QByteArray, body);
    QFETCH(QDate, start);
    QFETCH(QDate, finish);
    QFETCH(int, percent);
    PlanFile plan;
    QString error;
    QVERIFY2(readBytes(calendar(body), plan, &error, true), qPrintable(error));
    QCOMPARE(plan.tasks.size(), 1);
    QCOMPARE(plan.tasks[0].start, start);
    QCOMPARE(plan.tasks[0].finish, finish);
    QCOMPARE(plan.tasks[0].percentComplete, percent);
}

// A to-do written back over the server's copy: only the days that moved change, each in the form
// the copy had (a time of day, a zone, no start at all); the rest reads back as the task's days.
void TestICalendar::aChangedToDoKeepsTheFormOfItsDates_data() {
    QTest::addColumn<QByteArray>("dates");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("due");
    QTest::addColumn<QString>("dtstart");
    QTest::addColumn<QString>("dueLine");
    // 17:00 UTC is 06:00 of the next day here.
    QTest::newRow("only a due time, days unchanged")
        << QByteArray("DUE:20270203T170000Z") << QDate(2027, 2, 4) << QDate(2027, 2, 4) << ""
        << "DUE:20270203T170000Z";
    QTest::newRow("only a due time, moved a day")
        << QByteArray("DUE:20270203T170000Z") << QDate(2027, 2, 5) << QDate(2027, 2, 5) << ""
        << "DUE:20270204T170000Z";
    QTest::newRow("only a due time, given a start")
        << QByteArray("DUE:20270203T170000Z") << QDate(2027, 2, 2) << QDate(2027, 2, 4) << "DTSTART:20270201T170000Z"
        << "DUE:20270203T170000Z";
    QTest::newRow("whole days, the due moved")
        << QByteArray("DTSTART;VALUE=DATE:20270104\nDUE;VALUE=DATE:20270108") << QDate(2027, 1, 4) << QDate(2027, 1, 11)
        << "DTSTART;VALUE=DATE:20270104"
        << "DUE;VALUE=DATE:20270111";
    QTest::newRow("zoned times, both moved")
        << QByteArray("DTSTART;TZID=Europe/Berlin:20270104T090000\nDUE;TZID=Europe/Berlin:20270108T100000")
        << QDate(2027, 1, 5) << QDate(2027, 1, 11) << "DTSTART;TZID=Europe/Berlin:20270105T090000"
        << "DUE;TZID=Europe/Berlin:20270111T100000";
    QTest::newRow("a duration becomes whole days")
        << QByteArray("DTSTART;VALUE=DATE:20270104\nDURATION:P2D") << QDate(2027, 1, 4) << QDate(2027, 1, 8)
        << "DTSTART;VALUE=DATE:20270104"
        << "DUE;VALUE=DATE:20270108";
}

void TestICalendar::aChangedToDoKeepsTheFormOfItsDates() {
    QFETCH(QByteArray, dates);
    QFETCH(QDate, start);
    QFETCH(QDate, due);
    QFETCH(QString, dtstart);
    QFETCH(QString, dueLine);
    const QByteArray previous =
        calendar("BEGIN:VTODO\nUID:n-1\nDTSTAMP:20270101T000000Z\nSUMMARY:Ship\n" + dates + "\nEND:VTODO");
    PlanFile read;
    QVERIFY(readBytes(previous, read, nullptr));
    FileTask task = read.tasks.value(0);
    task.start = start;
    task.finish = due;
    task.percentComplete = 30;
    const QByteArray written = PlanFiles::writeTodo(task, QStringLiteral("n-1"), QString(), previous);
    auto property = [&](const QByteArray& name) {
        for (const QByteArray& l : QByteArray(written).replace("\r\n ", "").split('\n'))
            if (l.startsWith(name + ':') || l.startsWith(name + ';'))
                return QString::fromUtf8(l.trimmed());
        return QString();
    };
    QCOMPARE(property("DTSTART"), dtstart);
    QCOMPARE(property("DUE"), dueLine);
    QCOMPARE(property("DURATION"), QString());
    PlanFile back;
    QVERIFY(readBytes(written, back, nullptr));
    QCOMPARE(back.tasks.value(0).start, start);
    QCOMPARE(back.tasks.value(0).finish, due);
}

// PARENT relations make the outline (a loop of parents is broken, never followed), temporal
// relations and DEPENDS-ON make links, a relation to a to-do the file lacks is reported.
void TestICalendar::outlineAndLinksFromRelations() {
    PlanFile plan;
    QString error;
    QVERIFY2(readBytes(calendar("BEGIN:VTODO\nUID:c\nSUMMARY:C\nRELATED-TO:a\nEND:VTODO\n"
                                "BEGIN:VTODO\nUID:a\nSUMMARY:A\nRELATED-TO;RELTYPE=PARENT:b\nEND:VTODO\n"
                                "BEGIN:VTODO\nUID:b\nSUMMARY:B\nRELATED-TO:a\nEND:VTODO\n"
                                "BEGIN:VTODO\nUID:d\nSUMMARY:D\nRELATED-TO;RELTYPE=DEPENDS-ON:c\n"
                                "RELATED-TO;RELTYPE=FINISHTOFINISH;GAP=-P1W:b\nRELATED-TO;RELTYPE=CHILD:c\n"
                                "RELATED-TO;RELTYPE=STARTTOSTART:gone\nEND:VTODO\n"
                                "BEGIN:VTODO\nSUMMARY:No UID\nEND:VTODO\nBEGIN:VTODO\nUID:d\nSUMMARY:Same UID\n"
                                "END:VTODO\nBEGIN:VJOURNAL\nUID:j\nEND:VJOURNAL"),
                       plan, &error),
             qPrintable(error));
    QCOMPARE(plan.tasks.size(), 6);
    QStringList outline;
    for (const FileTask& t : plan.tasks)
        outline << t.name + QLatin1Char('<') + nameOf(plan, t.parentKey);
    // Parents first; the loop a <-> b is cut at a, the first of the two in the file.
    QCOMPARE(outline.join(QLatin1Char(' ')), QStringLiteral("A< C<A B<A D< No UID< Same UID<"));
    QVERIFY(named(plan, QStringLiteral("A"))->summary);
    QStringList links;
    for (const PlanFiles::FileLink& l : plan.links)
        links << QStringLiteral("%1>%2 %3 %4")
                     .arg(nameOf(plan, l.predecessorKey), nameOf(plan, l.successorKey))
                     .arg(int(l.kind))
                     .arg(l.lagDays);
    QCOMPARE(links, QStringList({QStringLiteral("C>D 0 0"), QStringLiteral("B>D 2 -7")}));
    const QString notKept = plan.notKept.join(QLatin1Char('\n'));
    QVERIFY2(notKept.contains(QLatin1String("1 link to a to-do not in the file")), qPrintable(notKept));
    QVERIFY2(notKept.contains(QLatin1String("1 journal entry:")), qPrintable(notKept));
}

// A project written as to-dos and read back gives the same tasks, outline and links; the file has
// folded CRLF lines and UIDs that stay the same from one export to the next.
void TestICalendar::exportReadsBack() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    fillLists();
    const PlanFile sample = samplePlan();
    const qint64 id = PlanImport::write(sample, sample.projectName, QString());
    const PlanFile stored = PlanExport::read(id);
    const QString path = env.root() + QStringLiteral("/launch.ics");
    QString error;
    QVERIFY2(PlanExport::writeFile(path, id, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    QVERIFY(bytes.endsWith("END:VCALENDAR\r\n"));
    QVERIFY(!bytes.contains("\r\n\r\n"));
    bool folded = false;
    for (const QByteArray& line : bytes.split('\n')) {
        QVERIFY2(line.isEmpty() || line.endsWith('\r'), line.constData());
        QVERIFY2(line.size() <= 76, line.constData()); // 75 octets and the CR
        QVERIFY2(QString::fromUtf8(line).toUtf8() == line, "a line folded inside a UTF-8 character");
        folded = folded || line.startsWith(' ');
    }
    QVERIFY(folded);
    QVERIFY(bytes.contains("STATUS:COMPLETED\r\n"));
    QVERIFY(bytes.contains("PRIORITY:2\r\n"));
    QVERIFY(bytes.contains(QStringLiteral("UID:project-%1@").arg(id).toUtf8()));
    QVERIFY(QByteArray(bytes)
                .replace("\r\n ", "")
                .contains("DESCRIPTION:First line\\, with a comma\\; a semicolon\\nsecond line \\\\ backslash"));

    PlanFile back;
    QVERIFY2(PlanImport::readFile(path, back, &error), qPrintable(error));
    QCOMPARE(back.projectName, sample.projectName); // from the project's own to-do
    QCOMPARE(described(back), described(stored));

    // Written again: the same UIDs. Imported: a second project like the first.
    QVERIFY(PlanExport::writeFile(env.root() + QStringLiteral("/again.ics"), id, &error));
    QFile again(env.root() + QStringLiteral("/again.ics"));
    QVERIFY(again.open(QIODevice::ReadOnly));
    auto uids = [](const QByteArray& text) {
        QStringList list;
        for (const QByteArray& line : text.split('\n'))
            if (line.startsWith("UID:"))
                list << QString::fromUtf8(line.trimmed());
        return list;
    };
    QCOMPARE(uids(again.readAll()), uids(bytes));
    const qint64 copy = PlanImport::write(back, back.projectName, QString());
    QCOMPARE(described(PlanExport::read(copy)), described(stored));
    // STATUS becomes the status-list entry of that meaning.
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title, Status from Tasks where ProjectID=%1 and "
                                                  "PercentComplete > 0 order by Title")
                                       .arg(copy)),
             QStringList({QStringLiteral("Review|In Progress"), stored.tasks[1].name + QStringLiteral("|Completed")}));
    QVERIFY(messages.errors().isEmpty());
}

// A second, independent reader (Python's icalendar, as Debian ships it) reads our file with the
// same values.
void TestICalendar::exportParsesInPython() {
    if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
        QSKIP("no python3");
    QProcess probe;
    probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import icalendar")});
    probe.waitForFinished(-1);
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        QSKIP("Python's icalendar is not installed (python3-icalendar)");
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    fillLists();
    const PlanFile sample = samplePlan();
    const qint64 id = PlanImport::write(sample, sample.projectName, QString());
    const QString path = env.root() + QStringLiteral("/launch.ics");
    QString error;
    QVERIFY2(PlanExport::writeFile(path, id, &error), qPrintable(error));
    const QString script = QStringLiteral(R"(
import json, sys, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
for t in cal.walk('VTODO'):
    rel = t.get('RELATED-TO')
    rel = rel if isinstance(rel, list) else ([rel] if rel is not None else [])
    cats = t.get('CATEGORIES')
    cats = [str(c) for c in cats.cats] if cats is not None else []
    print(json.dumps([str(t['UID']), str(t['SUMMARY']), str(t.get('DESCRIPTION', '')),
        t['DTSTART'].dt.isoformat(), t['DUE'].dt.isoformat(), int(t['PERCENT-COMPLETE']),
        int(t.get('PRIORITY', 0)), str(t['STATUS']), cats,
        sorted('%s %s %s' % (r.params.get('RELTYPE', ''), r.params.get('GAP', ''), str(r)) for r in rel)]))
)");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    QVERIFY(python.waitForFinished(-1));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    QHash<QString, QJsonArray> todos;
    for (const QByteArray& line : python.readAllStandardOutput().split('\n'))
        if (!line.isEmpty()) {
            const QJsonArray a = QJsonDocument::fromJson(line).array();
            todos.insert(a[1].toString(), a);
        }
    QCOMPARE(todos.size(), 5); // the project and its four tasks

    const PlanFile stored = PlanExport::read(id);
    for (const FileTask& t : stored.tasks) {
        const QJsonArray a = todos.value(t.name);
        QVERIFY2(!a.isEmpty(), qPrintable(t.name));
        QVERIFY2(a[0].toString().startsWith(QStringLiteral("task-%1@").arg(t.key)), qPrintable(a[0].toString()));
        QCOMPARE(a[2].toString(), t.notes);
        QCOMPARE(a[3].toString(), t.start.toString(Qt::ISODate));
        QCOMPARE(a[4].toString(), t.finish.toString(Qt::ISODate));
        QCOMPARE(a[5].toInt(), t.percentComplete);
        QCOMPARE(a[8].toArray().size(), 1); // the project's category
    }
    QCOMPARE(todos.value(QStringLiteral("Sign-off"))[6].toInt(), 2); // high
    QCOMPARE(todos.value(QStringLiteral("Review"))[6].toInt(), 8);   // low
    QCOMPARE(todos.value(QStringLiteral("Review"))[7].toString(), QStringLiteral("IN-PROCESS"));
    const QJsonArray signOff = todos.value(QStringLiteral("Sign-off"))[9].toArray();
    QCOMPARE(signOff.size(), 2);
    QVERIFY2(signOff[0].toString().startsWith(QLatin1String("PARENT  project-")), qPrintable(signOff[0].toString()));
    QVERIFY2(signOff[1].toString().startsWith(QLatin1String("STARTTOSTART P4D task-")),
             qPrintable(signOff[1].toString()));
}

void TestICalendar::refusesBadInput_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("not iCalendar") << "plan.ics" << QByteArray("Task,Start\nA,2027-01-04\n") << "not an iCalendar file";
    QTest::newRow("cut short") << "plan.ics"
                               << QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:a\r\nSUMMARY:A")
                               << "the file ends inside BEGIN:VTODO (line 5): it is cut short.";
    QTest::newRow("closed wrongly") << "plan.ics"
                                    << QByteArray("BEGIN:VCALENDAR\nBEGIN:VTODO\nUID:a\nEND:VEVENT\nEND:VCALENDAR\n")
                                    << "line 4: END:VEVENT does not close BEGIN:VTODO.";
    QTest::newRow("binary") << "plan.ics" << QByteArray("BEGIN:VCALENDAR\nBEGIN:VTODO\nUID:\0a\n", 35)
                            << "holds a NUL character";
    QTest::newRow("nested too deeply") << "plan.ics"
                                       << QByteArray("BEGIN:VCALENDAR\n") + QByteArray("BEGIN:X\n").repeated(60)
                                       << "nested too deeply";
    QTest::newRow("events only") << "plan.ics"
                                 << calendar("BEGIN:VEVENT\nUID:e\nDTSTART;VALUE=DATE:20270104\nEND:VEVENT")
                                 << "only events (1); import its events as tasks";
    QTest::newRow("a date out of range")
        << "plan.ics"
        << calendar("BEGIN:VTODO\nUID:a\nSUMMARY:Far\nDTSTART;VALUE=DATE:18500104\nDUE;VALUE=DATE:20270104\nEND:VTODO")
        << "the to-do \"Far\" has a date out of range (1850-01-04)";
    QTest::newRow("nothing") << "plan.ics" << calendar("BEGIN:VJOURNAL\nUID:j\nEND:VJOURNAL")
                             << "the calendar holds no to-dos.";
    QTest::newRow("huge, by its content")
        << "plan.txt" << QByteArray("BEGIN:VCALENDAR\r\n") + QByteArray(PlanImport::maxFileBytes, 'x')
        << "the file is larger than";
}

void TestICalendar::refusesBadInput() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    TestEnvironment env;
    const QString path = env.root() + QLatin1Char('/') + name;
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    PlanFile plan;
    QString error;
    QVERIFY(!PlanImport::readFile(path, plan, &error));
    QVERIFY2(error.startsWith(name + QStringLiteral(": ")) && error.contains(message), qPrintable(error));
    // The reader itself (with no file around it) refuses it too.
    PlanFile direct;
    QVERIFY(!readBytes(content, direct, &error));
    QVERIFY2(error.contains(message.section(QLatin1Char(' '), 0, 2)) || error.contains(QLatin1String("larger than")),
             qPrintable(error));
}

// --export FILE.ics --project ID writes the project; --import FILE.ics makes a new project named
// after the calendar (or the file).
void TestICalendar::commandLine() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    fillLists();
    const PlanFile sample = samplePlan();
    const qint64 id = PlanImport::write(sample, QStringLiteral("Exported"), QString());
    Database::shared().close(); // the commands open the chosen database themselves
    const QString path = env.root() + QStringLiteral("/exported.ics");
    QCOMPARE(PlanCommandLine::exportPlan(path, QString::number(id)), 0);
    QCOMPARE(PlanCommandLine::importPlan(path), 0);
    QCOMPARE(PlanCommandLine::importPlan(dataFile(QStringLiteral("nextcloud_priority_7_stars.ics"))), 0);
    // A calendar of events only: refused, unless its events are to become tasks.
    QCOMPARE(PlanCommandLine::importPlan(dataFile(QStringLiteral("outlook_alarm_in_future.ics"))), 1);
    QCOMPARE(PlanCommandLine::importPlan(dataFile(QStringLiteral("outlook_alarm_in_future.ics")), true), 0);
    const CommandLine options = CommandLine::parse(
        {QStringLiteral("fennick-planner"), QStringLiteral("--import"), path, QStringLiteral("--events-as-tasks")});
    QVERIFY(options.eventsAsTasks);
    QCOMPARE(PlanCommandLine::exportPlan(env.root() + QStringLiteral("/all.ics"), QStringLiteral("all")), 0);
    Database::shared().open(DatabaseChoice::chosen());
    QCOMPARE(
        TestEnvironment::scalar(QStringLiteral("select count(*) from Projects where ProjectName='Exported'")).toInt(),
        2);
    QCOMPARE(TestEnvironment::scalar(
                 QStringLiteral("select count(*) from Projects where ProjectName='nextcloud_priority_7_stars'"))
                 .toInt(),
             1);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks t join Projects p on "
                                                    "p.ID=t.ProjectID where p.ProjectName='Kalender'"))
                 .toInt(),
             3);
    QCOMPARE(
        TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks t join Projects p on p.ID=t.ProjectID where "
                                               "p.ProjectName='Exported'"))
            .toInt(),
        8);
    // Every project in one file: each a summary to-do (with one project, it would name the project).
    PlanFile all;
    QString error;
    QVERIFY2(PlanImport::readFile(env.root() + QStringLiteral("/all.ics"), all, &error), qPrintable(error));
    QVERIFY(named(all, QStringLiteral("Exported")));
    QVERIFY(named(all, QStringLiteral("Exported"))->summary);
    QVERIFY(named(all, QStringLiteral("Review")));
}

// A database with no value lists yet and no projects: an export is refused (a calendar without a
// component is no calendar); an import keeps the to-dos' states and priorities in plain words, and
// says which dates the working week moved and what it did not keep.
void TestICalendar::aFreshDatabaseOnTheCommandLine() {
    TestEnvironment env;
    env.openDatabase();
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Status")).toInt(), 0);
    Database::shared().close();
    const QString empty = env.root() + QStringLiteral("/empty.ics");
    QCOMPARE(PlanCommandLine::exportPlan(empty, QStringLiteral("all")), 1);
    QVERIFY(!QFile::exists(empty));

    // 9 January 2027 is a Saturday.
    const QString path = env.root() + QStringLiteral("/todos.ics");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(calendar("BEGIN:VTODO\nUID:a\nSUMMARY:Report\nDUE;VALUE=DATE:20270109\nSTATUS:IN-PROCESS\nPRIORITY:1\n"
                        "LOCATION:Office\nEND:VTODO\nBEGIN:VTODO\nUID:b\nSUMMARY:Trip\nDTSTART;VALUE=DATE:20270104\n"
                        "DUE;VALUE=DATE:20270105\nSTATUS:CANCELLED\nEND:VTODO"));
    file.close();
    QProcess program;
    program.start(QStringLiteral(FENNICK_PLANNER), {QStringLiteral("--import"), path});
    program.waitForFinished(-1);
    const QString said = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(said.contains(QStringLiteral("\"Report\" is planned 2027-01-11 to 2027-01-11")) &&
                 said.contains(QStringLiteral("2027-01-09 to 2027-01-09")),
             qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("Locations of 1 to-do:")), qPrintable(said));
    const qint64 project = program.readAllStandardOutput().trimmed().toLongLong();

    Database::shared().open(DatabaseChoice::chosen());
    QCOMPARE(
        TestEnvironment::rows(
            QStringLiteral("select Title, Status, Priority from Tasks where ProjectID=%1 order by Title").arg(project)),
        (QStringList{QStringLiteral("Report|In Progress|Highest"), QStringLiteral("Trip|Cancelled|")}));
    Database::shared().close();
    const QString back = env.root() + QStringLiteral("/back.ics");
    QCOMPARE(PlanCommandLine::exportPlan(back, QString::number(project)), 0);
    PlanFile plan;
    QString error;
    QVERIFY2(PlanImport::readFile(back, plan, &error), qPrintable(error));
    QCOMPARE(PlanFiles::todoStatus(*named(plan, QStringLiteral("Trip"))), QStringLiteral("CANCELLED"));
    QCOMPARE(PlanFiles::todoStatus(*named(plan, QStringLiteral("Report"))), QStringLiteral("IN-PROCESS"));
}

// File -> Export Calendar writes the selected project; File -> Import Plan asks whether a
// calendar's events become tasks, and shows the preview.
void TestICalendar::fromTheMenus() {
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* preview = qobject_cast<PlanPreviewDialog*>(QApplication::activeModalWidget()))
            preview->accept();
    });
    answer.start(0);
    messages.fileNext({dataFile(QStringLiteral("outlook_alarm_in_future.ics"))});
    messages.answerNext(true);
    form.findChild<QAction*>(QStringLiteral("actionImportPlan"))->trigger();
    answer.stop();
    QCOMPARE(messages.questions().size(), 1);
    QVERIFY2(messages.questions()[0].contains(QLatin1String("holds 3 events")), qPrintable(messages.questions()[0]));
    QCOMPARE(static_cast<RecordListModel*>(form.ListView2->model())->rowCount(), 3);

    const QString out = env.root() + QStringLiteral("/kalender.ics");
    messages.saveFileNameNext(out);
    form.findChild<QAction*>(QStringLiteral("actionExportCalendar"))->trigger();
    QVERIFY2(messages.notices().isEmpty(), qPrintable(messages.notices().join(QLatin1Char('\n'))));
    PlanFile back;
    QString error;
    QVERIFY2(PlanImport::readFile(out, back, &error), qPrintable(error));
    QCOMPARE(back.projectName, QStringLiteral("Kalender"));
    QCOMPARE(back.tasks.size(), 3);
}

QTEST_MAIN(TestICalendar)
#include "tst_icalendar.moc"
