// Fuzz target for the iCalendar reader (and, through it, libical) and our writer. Each input is
// read as a file, and once more as the text of a to-do's summary, description and dates inside a
// calendar. The reader either refuses it with a reason or gives a plan that holds together: tasks
// with unique keys, dates, each parent before the tasks under it, links between tasks it has.
// Written by our writer and read again, such a plan gives the same tasks (names, dates, percent,
// priority, milestones, outline) and links.
#include "FuzzTarget.h"

#include "plan_files/ICalendar.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QSet>

#include <cstdio>
#include <cstdlib>

namespace {

using PlanFiles::FileTask;
using PlanFiles::PlanFile;

bool abortOnFault = true;
long faults = 0;

QString shown(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.left(300).toPercentEncoding(" ,;:=-/"));
}

void fault(const char* rule, const QByteArray& input, const QString& detail) {
    ++faults;
    std::fprintf(stderr, "FAULT: %s\n  input: \"%s\"\n  %s\n", rule, shown(input).toUtf8().constData(),
                 detail.toUtf8().constData());
    if (abortOnFault)
        std::abort();
}

bool read(const QByteArray& bytes, PlanFile& plan, QString* error, bool events) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return PlanFiles::readICalendar(buffer, plan, error, events);
}

// The plan's tasks and links in words, with keys replaced by names and positions.
QStringList described(const PlanFile& plan) {
    QHash<QString, qsizetype> position;
    for (qsizetype i = 0; i < plan.tasks.size(); ++i)
        position.insert(plan.tasks[i].key, i);
    QStringList lines;
    for (const FileTask& t : plan.tasks)
        lines << QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
                     .arg(t.name, t.start.toString(Qt::ISODate), t.finish.toString(Qt::ISODate))
                     .arg(t.percentComplete)
                     .arg(static_cast<int>(t.priority))
                     .arg(t.milestone)
                     .arg(t.parentKey.isEmpty() ? -1 : position.value(t.parentKey));
    for (const PlanFiles::FileLink& l : plan.links)
        lines << QStringLiteral("link %1 %2 %3 %4")
                     .arg(position.value(l.predecessorKey))
                     .arg(position.value(l.successorKey))
                     .arg(static_cast<int>(l.kind))
                     .arg(l.lagDays);
    return lines;
}

void check(const QByteArray& bytes, bool events) {
    PlanFile plan;
    QString error;
    if (!read(bytes, plan, &error, events)) {
        if (error.isEmpty())
            fault("a refused calendar names no reason", bytes, QString());
        return;
    }
    if (plan.tasks.isEmpty())
        fault("a calendar read gives no tasks", bytes, QString());
    QSet<QString> seen;
    for (const FileTask& t : std::as_const(plan.tasks)) {
        if (seen.contains(t.key))
            fault("two tasks have the same key", bytes, t.key);
        if (!t.parentKey.isEmpty() && !seen.contains(t.parentKey))
            fault("a task comes before its parent", bytes, t.name);
        if (!t.start.isValid() || !t.finish.isValid() || t.finish < t.start)
            fault("a task has no dates or ends before it starts", bytes, t.name);
        seen.insert(t.key);
    }
    for (const PlanFiles::FileLink& l : std::as_const(plan.links))
        if (!seen.contains(l.predecessorKey) || !seen.contains(l.successorKey) || l.predecessorKey == l.successorKey)
            fault("a link joins tasks the plan does not have", bytes, l.predecessorKey + u' ' + l.successorKey);

    // Keys of our own form, as an export has them, so that no key reads as a project's.
    QHash<QString, QString> key;
    for (qsizetype i = 0; i < plan.tasks.size(); ++i)
        key.insert(plan.tasks[i].key, QString::number(i + 1));
    for (FileTask& t : plan.tasks) {
        t.key = key.value(t.key);
        t.parentKey = key.value(t.parentKey);
    }
    for (PlanFiles::FileLink& l : plan.links) {
        l.predecessorKey = key.value(l.predecessorKey);
        l.successorKey = key.value(l.successorKey);
    }
    plan.database = QStringLiteral("fuzz");
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    if (!PlanFiles::writeICalendar(out, plan)) {
        fault("a plan read cannot be written", bytes, QString());
        return;
    }
    PlanFile again;
    if (!read(written, again, &error, false)) {
        fault("our own calendar is refused", bytes, error + QStringLiteral("\n") + QString::fromUtf8(written));
        return;
    }
    if (described(again) != described(plan))
        fault("a calendar written and read again differs", bytes,
              described(plan).join(u'\n') + QStringLiteral("\n---\n") + described(again).join(u'\n'));
}

void checkAll(const QByteArray& bytes) {
    const bool events = !bytes.isEmpty() && (static_cast<unsigned char>(bytes.back()) & 1);
    check(bytes, events);
    // The same bytes as the values of a to-do's lines.
    QByteArray value = bytes;
    value.replace('\n', "\n ");
    check("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VTODO\r\nUID:" + value + "\r\nSUMMARY:" + value +
              "\r\nDESCRIPTION:" + value + "\r\nDTSTART;VALUE=DATE:" + bytes.left(8) + "\r\nDUE:" + value +
              "\r\nRELATED-TO;RELTYPE=FINISHTOSTART;GAP=" + value + ":x\r\nEND:VTODO\r\nEND:VCALENDAR\r\n",
          true);
}

} // namespace

namespace FuzzTarget {

void setUp(int* argc, char*** argv) {
    static QCoreApplication* app = new QCoreApplication(*argc, *argv);
    (void)app;
}

void setAbortOnFault(bool abort) {
    abortOnFault = abort;
}

long faultCount() {
    return faults;
}

void run(const QString& text) {
    checkAll(text.toUtf8());
}

} // namespace FuzzTarget

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzTarget::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkAll(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
