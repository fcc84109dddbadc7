// The check that the database components can be used, and the repair dialogue that offers the
// repair package from the program folder when they cannot. Also the two platform routines the
// dialogue needs: the processor width (Main) and starting a program and waiting for it (Shell32).
#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace ComponentCheck {

// Whether the SQLite driver is available and a connection and a query object can be made with it.
// Uses a connection of its own that is removed again; the shared connection is not touched.
bool componentsUsable();

// The texts of the dialogue.
QString repairQuestion();
QString restartQuestion();
QString manualRepairNotice();
QString knowledgeBaseAddress();

// "ADOFix64.msu" for a width of "64", "ADOFix86.msu" for anything else (an empty width too).
QString packageName(const QString& processorWidth);

// The platform services the dialogue uses. Empty members mean the real ones; tests replace them.
struct Services {
    std::function<bool()> componentsUsable;
    std::function<QString()> processorWidth;
    std::function<qint32(const QString& command, std::optional<int> windowStyle)> startAndWait;
};

enum class Outcome {
    Continue, // start-up goes on
    Stop,     // the user chose to stop the program after the repair
};

// The check and the repair dialogue. Never throws and never shows the error box: whatever fails
// inside is skipped and the dialogue goes on.
Outcome run(const Services& services = {});

} // namespace ComponentCheck

namespace Main {
// The address width of the processor as text: "64" on a 64-bit system, "32" otherwise.
QString GetProcessorWidth();
} // namespace Main

namespace Shell32 {

// The value of the error base added to a start failure's error number.
constexpr qint32 objectErrorBase = -2147221504;

// Window styles run from 0 (hidden) to 6 (minimised without activation); a missing or
// out-of-range style becomes 6.
int windowStyle(std::optional<int> requested);

// Starts the command (a program and its arguments; double quotes group words) and waits for it
// to end, letting the application process its pending events every 100 ms meanwhile. Returns the
// program's exit code (128 + the signal number when a signal ended it), or, when it cannot be
// started, the system's error number for that (2 for a missing program, 13 when it may not be
// run, 22 for an empty command, 8 otherwise) plus objectErrorBase. The wait has no time limit.
qint32 ShellAndWait(const QString& command, std::optional<int> windowStyle = std::nullopt);

} // namespace Shell32
