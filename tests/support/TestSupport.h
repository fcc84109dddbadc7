// Shared test support: a temporary data folder, program folder and settings store per test,
// and scripted message boxes that record what the program showed.
#pragma once

#include "app/Messages.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <vector>

class ScriptedMessages final : public Messages {
public:
    enum class Kind { Notice, Question, Error, Input, FileDialog, SaveFile = FileDialog };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
    };

    ScriptedMessages();
    ~ScriptedMessages() override;

    void notice(const QString& text) override;
    bool ask(const QString& text) override;
    void error(const QString& text) override;
    QString input(const QString& title, const QString& prompt) override;
    QString saveFileName(const QString& title, const QString& suggestedName, const QString& filter) override;
    QStringList openFileNames(const QString& title, const QString& filter, bool several) override;

    // Answers for the next questions (true = Yes) and input boxes (empty text = Cancel).
    // An unscripted question is answered No, an unscripted input box is cancelled.
    void answerNext(bool yes) { m_answers.push_back(yes); }
    void inputNext(const QString& text) { m_inputs.push_back(text); }
    // Answers for the next file dialogs (save or open); an unscripted one is cancelled. A save
    // dialog takes the first path of its answer.
    void fileNext(const QStringList& paths) { m_files.push_back(paths); }
    void saveFileNameNext(const QString& path) { fileNext({path}); }

    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList texts(Kind kind) const;
    QStringList errors() const { return texts(Kind::Error); }
    QStringList notices() const { return texts(Kind::Notice); }
    QStringList questions() const { return texts(Kind::Question); }
    void clear() { m_shown.clear(); }

private:
    std::vector<Shown> m_shown;
    std::deque<bool> m_answers;
    std::deque<QString> m_inputs;
    std::deque<QStringList> m_files;
};

// A clean world for one test: empty data and settings folders, a program folder holding the
// template, and the shared connection closed.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    QString programFolder() const;
    QString dataHome() const;
    QString configHome() const;

    // Prepares the data store and opens the shared connection on a fresh working database.
    void openDatabase();
    // Runs a statement on the shared connection (fails the test through an exception).
    static void exec(const QString& statement);
    // The single value of a query ("select count(*) from Projects").
    static QVariant scalar(const QString& query);
    // A file where the backup folder of the working database belongs: no copy can be made.
    static void blockBackups();
    // All rows of a query, each as its values joined by "|".
    static QStringList rows(const QString& query);

private:
    QTemporaryDir m_dir;
};

// The path of the template database made by the build.
QString templatePath();

// Contrast ratio of two colours as the web accessibility guidelines define it (1 to 21).
double contrastRatio(const QColor& a, const QColor& b);
