// Fuzz target for the MS Project XML reader. Each input is taken as the bytes of a file and, so
// that the replay's generated texts reach past the root element, spliced into a small MS Project XML file
// (as an attribute value, as elements among the tasks). Every plan read must be sound and come
// back the same from both writers; every refusal leaves no plan.
#include "FuzzTarget.h"
#include "PlanFuzz.h"

#include <QCoreApplication>

namespace {

const char* const templates[] = {
    "<?xml version=\"1.0\"?>\n<Project xmlns=\"http://schemas.microsoft.com/project\"><Name>P</Name>"
    "<StartDate>2026-01-05T08:00:00</StartDate><CalendarUID>1</CalendarUID><Calendars><Calendar><UID>1</UID>"
    "<WeekDays><WeekDay><DayType>1</DayType><DayWorking>0</DayWorking></WeekDay></WeekDays></Calendar></Calendars>"
    "<Tasks><Task><UID>1</UID><Name>A</Name><OutlineNumber>1</OutlineNumber><OutlineLevel>1</OutlineLevel>"
    "<Start>2026-01-05T08:00:00</Start><Finish>2026-01-06T17:00:00</Finish><Duration>PT16H0M0S</Duration>%1</Task>"
    "<Task><UID>2</UID><Name>B</Name><OutlineNumber>2</OutlineNumber><OutlineLevel>1</OutlineLevel>"
    "<Start>2026-01-07T08:00:00</Start><Finish>2026-01-07T17:00:00</Finish><Duration>PT8H0M0S</Duration>"
    "<PredecessorLink><PredecessorUID>1</PredecessorUID><Type>1</Type><LinkLag>0</LinkLag><LagFormat>7</LagFormat>"
    "</PredecessorLink></Task></Tasks></Project>",
    "<Project xmlns=\"http://schemas.microsoft.com/project\"><Tasks><Task><UID>1</UID><OutlineLevel>1</OutlineLevel>"
    "<Name>%1</Name><Start>%1</Start><Finish>%1</Finish><Duration>%1</Duration><Milestone>%1</Milestone>"
    "<ConstraintType>4</ConstraintType><ConstraintDate>%1</ConstraintDate></Task></Tasks></Project>",
};

void check(const QByteArray& bytes) {
    PlanFuzz::checkReader(PlanFiles::readMsProject, bytes);
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
    for (const char* form : templates)
        check(QString::fromUtf8(form).arg(text).toUtf8());
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
