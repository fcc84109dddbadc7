#include "TeamCommandLine.h"

#include "TeamCopy.h"
#include "TeamSchema.h"
#include "app/DataStore.h"
#include "app/DatabaseChoice.h"
#include "app/DbError.h"
#include "app/Messages.h"

#include <cstdio>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace TeamCommandLine {

namespace {

// The command line's boxes: a password is asked for on the terminal, without echo; everything else
// is said on the error output. Without a terminal (a script, a service) nothing is asked.
class TerminalMessages final : public Messages {
public:
    TerminalMessages() { Messages::install(this); }
    ~TerminalMessages() override { Messages::install(nullptr); }
    TerminalMessages(const TerminalMessages&) = delete;
    TerminalMessages& operator=(const TerminalMessages&) = delete;

    void notice(const QString& text) override { say(text); }
    bool ask(const QString& text) override {
        say(text);
        return false;
    }
    void error(const QString& text) override { say(text); }
    QString input(const QString&, const QString&) override { return {}; }
    QString password(const QString&, const QString& prompt) override {
        const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY);
        if (tty < 0)
            return {};
        // Echo goes off before the prompt shows: what is typed as soon as it appears is never seen.
        termios saved{};
        const bool quiet = tcgetattr(tty, &saved) == 0;
        if (quiet) {
            termios hidden = saved;
            hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(tty, TCSANOW, &hidden); // TCSANOW: what was typed ahead stays
        }
        const QByteArray asked = prompt.toLocal8Bit() + ' ';
        [[maybe_unused]] const ssize_t shown = ::write(tty, asked.constData(), static_cast<size_t>(asked.size()));
        QByteArray typed;
        char c = 0;
        while (::read(tty, &c, 1) == 1 && c != '\n' && c != '\r')
            typed.append(c);
        if (quiet)
            tcsetattr(tty, TCSANOW, &saved);
        [[maybe_unused]] const ssize_t ended = ::write(tty, "\n", 1);
        ::close(tty);
        return QString::fromLocal8Bit(typed);
    }

private:
    static void say(const QString& text) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); }
};

} // namespace

void chooseDatabase(const QString& fromCommandLine) {
    DatabaseChoice::setFromCommandLine(fromCommandLine);
}

int createSchema(const QString& fromCommandLine) {
    chooseDatabase(fromCommandLine);
    const QString target = DatabaseChoice::configuredTeamDatabase();
    if (target.isEmpty()) {
        std::fputs("--create-schema needs a team database: give --database <uri> or set FENNICK_DATABASE.\n", stderr);
        return 2;
    }
    TerminalMessages terminal; // asks for the password the server wants, if none is stored
    try {
        TeamSchema::create(target);
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.description().toLocal8Bit().constData());
        return 1;
    }
    std::fputs("The Fennick Planner tables were created.\n", stdout);
    return 0;
}

int copy(const QString& fromCommandLine, const QString& localFile) {
    chooseDatabase(fromCommandLine);
    const QString target = DatabaseChoice::configuredTeamDatabase();
    if (target.isEmpty()) {
        std::fputs("Copying needs a team database: give --database <uri> or set FENNICK_DATABASE.\n", stderr);
        return 2;
    }
    TerminalMessages terminal;
    int shown = -1;
    const TeamCopy::Progress progress = [&shown](qint64 done, qint64 total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        if (percent != shown) {
            shown = percent;
            const int filled = percent * 40 / 100;
            std::fprintf(stdout, "\rCopying [%s%s] %3d%%", QByteArray(filled, '#').constData(),
                         QByteArray(40 - filled, ' ').constData(), percent);
            std::fflush(stdout);
        }
        return true;
    };
    try {
        if (localFile.isEmpty()) {
            DataStore::makeCompanyFolder();
            DataStore::makeDataFolder();
            DataStore::copyTemplateIfMissing();
            TeamCopy::localToTeam(DataStore::workingDatabase(), target, progress);
        } else {
            TeamCopy::teamToLocal(target, localFile, progress);
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "\n%s\n", e.description().toLocal8Bit().constData());
        return 1;
    }
    std::fputs("\nDone.\n", stdout);
    return 0;
}

} // namespace TeamCommandLine
