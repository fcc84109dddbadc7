#include "TaskCommands.h"

namespace TaskCommands {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> commands;
    return commands;
}
} // namespace

void add(Command command) {
    // Installing the features again (a test's second window) must not list a command twice.
    for (Command& known : registry())
        if (known.objectName == command.objectName) {
            known = std::move(command);
            return;
        }
    registry().push_back(std::move(command));
}

const std::vector<Command>& all() {
    return registry();
}

} // namespace TaskCommands
