#include "TerminalMessages.h"

#include <cstdio>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

QString TerminalMessages::password(const QString&, const QString& prompt) {
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

void TerminalMessages::say(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
