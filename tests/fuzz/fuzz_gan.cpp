// Fuzz target for the GanttProject reader. Each input is taken as the bytes of a file and, so
// that the replay's generated texts reach past the root element, spliced into a small .gan file
// (as an attribute value, as elements among the tasks). Every plan read must be sound and come
// back the same from both writers; every refusal names its line and leaves no plan.
#include "FuzzTarget.h"
#include "PlanFuzz.h"

#include <QCoreApplication>

namespace {

const char* const templates[] = {
    "<?xml version=\"1.0\"?>\n<project name=\"P\"><calendars><day-types><default-week sun=\"1\" mon=\"0\" tue=\"0\" "
    "wed=\"0\" thu=\"0\" fri=\"0\" sat=\"1\"/></day-types><date year=\"2026\" month=\"1\" date=\"7\" "
    "type=\"HOLIDAY\"/></calendars><tasks><task id=\"0\" name=\"A\" start=\"2026-01-05\" duration=\"2\">"
    "<depend id=\"1\" type=\"2\" difference=\"1\"/>%1</task><task id=\"1\" name=\"B\" start=\"2026-01-09\" "
    "duration=\"3\" meeting=\"false\"/></tasks></project>",
    "<project name=\"%1\"><tasks><task id=\"%1\" name=\"%1\" start=\"%1\" duration=\"%1\" complete=\"%1\" "
    "priority=\"%1\" thirdDate=\"%1\" thirdDate-constraint=\"1\"/></tasks></project>",
};

void check(const QByteArray& bytes) {
    PlanFuzz::checkReader(PlanFiles::readGanttProject, bytes);
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
