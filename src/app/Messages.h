// Every message box, question and input box of the program goes through this interface.
// The program installs the real boxes; tests install a stub with scripted answers.
#pragma once

#include <QString>
#include <QStringList>

class Messages {
public:
    virtual ~Messages() = default;

    // A notice or validation message: OK button, no icon, the application title.
    virtual void notice(const QString& text) = 0;
    // A question with Yes and No, no icon, the application title; true only for Yes.
    virtual bool ask(const QString& text) = 0;
    // The error box: exclamation icon, OK button, title "Application Error".
    virtual void error(const QString& text) = 0;
    // An input box with OK and Cancel; Cancel gives the empty text.
    virtual QString input(const QString& title, const QString& prompt) = 0;
    // A save dialog offering suggestedName; the chosen path, or the empty text when cancelled.
    // The filter is a dialog filter such as "CSV files (*.csv)". By default it is cancelled.
    virtual QString saveFileName(const QString& title, const QString& suggestedName, const QString& filter);
    // An open dialog for one file or several; the chosen paths, or none when cancelled.
    virtual QStringList openFileNames(const QString& title, const QString& filter, bool several);
    // A password box (the typed text hidden) with OK and Cancel; Cancel gives the empty text.
    virtual QString password(const QString& /*title*/, const QString& /*prompt*/) { return {}; }
    // While the program waits for the database (a record in use elsewhere): the text says so
    // until the same call with the empty text. The windows go on painting meanwhile; nothing is
    // shown by default.
    virtual void waiting(const QString& /*text*/) {}

    // The one instance in use. Never null: before the program installs its boxes, a silent
    // fallback answers No and Cancel.
    static Messages& current();
    // Installs an instance (not owned); nullptr restores the fallback.
    static void install(Messages* messages);
};

// The title of every box that names none. Start-up shortens it (see shortenTitle()).
namespace AppTitle {
QString productName();
QString current();
void set(const QString& title);
// The product name cut before its last blank, once always and again while over 40 characters.
QString shortenTitle(const QString& productName);
} // namespace AppTitle
