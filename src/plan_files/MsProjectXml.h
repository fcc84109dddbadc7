// Reading MS Project's XML files (the "Project Data Interchange" form): the project's calendar,
// its tasks with their outline, dates, lengths, constraints and links, as the file states them;
// and making a plan of them on whole working days.
#pragma once

#include "scheduling/Plan.h"
#include "scheduling/WorkCalendar.h"

#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

namespace MsProjectXml {

// The link types as the file numbers them.
enum LinkType { FinishFinish = 0, FinishStart = 1, StartFinish = 2, StartStart = 3 };

struct Link {
    qint64 predecessorUid = 0;
    int type = FinishStart;
    qint64 lag = 0;    // tenths of a minute
    int lagFormat = 7; // 7: days; elapsed and percentage formats are told apart by lagIsElapsed()
};

struct Task {
    qint64 uid = 0;
    QString name;
    int outlineLevel = 0;
    QString outlineNumber;
    QDateTime start;
    QDateTime finish;
    qint64 durationMinutes = 0;
    bool hasDuration = false;
    // As read() leaves them: a task with tasks under it is a summary and never a milestone; any
    // other task of no length is a milestone, flagged or not.
    bool milestone = false;
    bool summary = false;
    bool manual = false;
    bool isNull = false;
    int constraintType = 0; // 0: as soon as possible, 4: start no earlier than
    QDateTime constraintDate;
    qint64 calendarUid = -1; // -1: the project's
    int percentComplete = 0;
    qint64 totalSlack = 0; // tenths of a minute
    bool hasTotalSlack = false;
    QList<Link> predecessors;
    QString notes;
    int priority = 500; // 0 to 1000; 500: medium
    int baselines = 0;
    bool hasCost = false;
};

struct Resource {
    qint64 uid = 0;
    QString name;
};

struct Assignment {
    qint64 taskUid = 0;
    qint64 resourceUid = -1;
    double units = 1;
};

struct Calendar {
    qint64 uid = 0;
    QString name;
    qint64 baseUid = -1;
    // Per weekday, 1 = Monday ... 7 = Sunday (index 0 unused): stated by the file, and worked.
    bool weekdayStated[8] = {};
    bool weekdayWorking[8] = {};
    // Days off (exceptions that are not worked), both ends included.
    QList<QPair<QDate, QDate>> daysOff;
    // Exceptions not read: recurring ones (yearly, monthly, weekly) and extra working days.
    int exceptionsNotRead = 0;
};

struct Project {
    QString name; // the title, else the name (often the file's name)
    QString manager;
    QDateTime start;
    QDateTime finish;
    bool scheduleFromStart = true;
    qint64 calendarUid = -1;
    int minutesPerDay = 480;
    QTime defaultStart{8, 0};
    QTime defaultFinish{17, 0};
    QList<Calendar> calendars;
    QList<Task> tasks;
    QList<Resource> resources;
    QList<Assignment> assignments;
};

// Reads a file; false with a message naming the line when it is not an MS Project XML file.
// Entities and document type declarations are never resolved.
bool read(QIODevice& device, Project& project, QString* error = nullptr);

// The project's calendar as working days: its weekdays (those its base states where it does
// not) and its days off.
WorkCalendar workCalendar(const Project& project);

bool lagIsElapsed(int lagFormat);

// The file's times as whole days: a start at or after the end of the working day begins on the
// next working day; a finish at or before the beginning of one ends on the working day before.
// A milestone is dated as a finish (the day at whose end it stands).
QDate startDay(const Project& project, const WorkCalendar& calendar, const QDateTime& start);
QDate finishDay(const Project& project, const WorkCalendar& calendar, const QDateTime& finish);

// A task the plan holds as the file dates it instead of scheduling it, and why.
struct Unscheduled {
    qint64 uid;
    QString reason;
};

struct Import {
    Plan plan; // tasks by UID; the project's own summary (outline level 0) is left out
    QList<Unscheduled> unscheduled;
};

// The plan: lengths in working days, links with their lags in working days, "start no earlier
// than" from the constraint (or the project's start, before which nothing is scheduled).
// Tasks whose schedule needs what the plan does not hold (manual scheduling, another calendar,
// elapsed or partial-day lengths and lags, constraints other than "as soon as possible" and
// "start no earlier than", progress) keep the file's dates, unlinked, and are listed.
Import toPlan(const Project& project, const WorkCalendar& calendar);

} // namespace MsProjectXml
