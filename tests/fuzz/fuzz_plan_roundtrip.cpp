// Fuzz target for the plan writers: each input is made into a plan (the bytes choose the
// working weekdays and holidays, the tasks with their outline, dates, lengths, milestones,
// progress, priorities and earliest starts, and links of every kind with leads and lags; the
// text gives names and notes), which written as MS Project XML and as GanttProject must read
// back as the same plan.
#include "FuzzTarget.h"
#include "PlanFuzz.h"

#include <QCoreApplication>

namespace {

class Bytes {
public:
    explicit Bytes(const QByteArray& bytes)
        : m_bytes(bytes) {}
    int next() { return m_at < m_bytes.size() ? static_cast<unsigned char>(m_bytes.at(m_at++)) : 0; }
    QString text(int length) {
        const QByteArray piece = m_bytes.mid(m_at, length);
        m_at += piece.size();
        return QString::fromUtf8(piece);
    }

private:
    QByteArray m_bytes;
    qsizetype m_at = 0;
};

PlanFiles::PlanFile planOf(const QByteArray& bytes) {
    using namespace PlanFiles;
    Bytes in(bytes);
    PlanFile plan;
    plan.projectName = in.text(in.next() % 12);
    plan.owner = in.text(in.next() % 6);
    const int week = in.next();
    for (int day = 1; day <= 7; ++day)
        plan.calendar.setWorkingWeekday(day, (week >> (day - 1) & 1) == 0);
    const QDate base(2026, 1, 5);
    for (int holidays = in.next() % 12; holidays > 0; --holidays)
        plan.calendar.addHoliday(base.addDays(in.next() * 3 - 60));
    const WorkCalendar& calendar = plan.calendar;
    const int count = in.next() % 24;
    for (int i = 0; i < count; ++i) {
        FileTask task;
        task.key = in.next() % 2 ? QString::number(i * 7 + 3) : QStringLiteral("k%1").arg(i);
        if (i > 0 && in.next() % 3 == 0)
            task.parentKey = plan.tasks.at(in.next() % i).key;
        task.name = in.text(in.next() % 10);
        task.notes = in.text(in.next() % 4);
        task.start = calendar.addWorkingDays(base, in.next() - 40);
        task.milestone = in.next() % 5 == 0;
        task.lengthDays = task.milestone ? 0 : 1 + in.next() % 30;
        task.finish = task.milestone ? task.start : calendar.addWorkingDays(task.start, task.lengthDays - 1);
        task.percentComplete = in.next() % 101;
        task.priority = Priority(in.next() % 6);
        if (in.next() % 4 == 0)
            task.startNoEarlierThan = calendar.addWorkingDays(base, in.next() - 40);
        task.assignee = in.text(in.next() % 5).trimmed();
        plan.tasks.append(task);
    }
    // A task with tasks under it is a summary, never a milestone.
    for (FileTask& parent : plan.tasks)
        for (const FileTask& task : std::as_const(plan.tasks))
            if (task.parentKey == parent.key && !parent.summary) {
                parent.summary = true;
                if (parent.milestone) {
                    parent.milestone = false;
                    parent.lengthDays = 1;
                }
            }
    for (int links = count > 1 ? in.next() % 32 : 0; links > 0; --links) {
        FileLink link;
        link.predecessorKey = plan.tasks.at(in.next() % count).key;
        link.successorKey = plan.tasks.at(in.next() % count).key;
        link.kind = LinkKind(in.next() % 4);
        link.lagDays = in.next() % 21 - 10;
        plan.links.append(link);
    }
    return plan;
}

void check(const QByteArray& bytes) {
    const PlanFiles::PlanFile plan = planOf(bytes);
    const QString unsound = PlanFuzz::soundness(plan);
    if (!unsound.isEmpty()) {
        PlanFuzz::fault("the plan made of the input is not sound (a fault of this target)", bytes, unsound);
        return;
    }
    PlanFuzz::checkRoundTrips(plan, bytes);
}

} // namespace

namespace FuzzTarget {

void setUp(int* argc, char*** argv) {
    static QCoreApplication* app = new QCoreApplication(*argc, *argv);
    (void)app;
}

void setAbortOnFault(bool abort) {
    PlanFuzz::abortOnFault = abort;
}

long faultCount() {
    return PlanFuzz::faults;
}

void run(const QString& text) {
    check(text.toUtf8());
}

} // namespace FuzzTarget

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzTarget::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
