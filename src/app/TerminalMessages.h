// The command line's boxes: a password is asked for on the terminal, without echo; everything else
// is said on the error output. Without a terminal (a script, a service) nothing is asked.
#pragma once

#include "Messages.h"

// Installed for as long as it lives.
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
    QString password(const QString&, const QString& prompt) override;

private:
    static void say(const QString& text);
};
