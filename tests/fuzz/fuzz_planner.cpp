// Fuzz target for the GNOME Planner reader. Each input is taken as the bytes of a file and, so
// that the replay's generated texts reach past the root element, spliced into a small .planner file
// (as an attribute value, as elements among the tasks). Every plan read must be sound and come
// back the same from both writers; every refusal names its line and leaves no plan.
#include "FuzzTarget.h"
#include "PlanFuzz.h"

#include <QCoreApplication>

namespace {

const char* const templates[] = {
    "<?xml version=\"1.0\"?>\n<project name=\"P\" mrproject-version=\"2\" calendar=\"1\"><calendars><day-types>"
    "<day-type id=\"0\"/><day-type id=\"1\"/></day-types><calendar id=\"1\" name=\"D\"><default-week mon=\"0\" "
    "tue=\"0\" wed=\"0\" thu=\"0\" fri=\"0\" sat=\"1\" sun=\"1\"/><overridden-day-types><overridden-day-type "
    "id=\"0\"><interval start=\"0800\" end=\"1200\"/><interval start=\"1300\" end=\"1700\"/>"
    "</overridden-day-type></overridden-day-types><days><day date=\"20260107\" type=\"day-type\" id=\"1\"/>"
    "</days></calendar></calendars><tasks><task id=\"1\" name=\"A\" start=\"20260105T000000Z\" "
    "end=\"20260106T170000Z\">%1</task><task id=\"2\" name=\"B\" start=\"20260108T080000Z\" "
    "end=\"20260112T170000Z\"><predecessors><predecessor id=\"1\" predecessor-id=\"1\" type=\"SS\" "
    "lag=\"86400\"/></predecessors></task></tasks></project>",
    "<project mrproject-version=\"2\" name=\"%1\"><tasks><task id=\"%1\" name=\"%1\" start=\"%1\" end=\"%1\" "
    "type=\"%1\" priority=\"%1\"><constraint type=\"start-no-earlier-than\" time=\"%1\"/></task></tasks></project>",
};

void check(const QByteArray& bytes) {
    PlanFuzz::checkReader(PlanFiles::readPlanner, bytes);
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
