#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fennick Planner keeps projects, their tasks and the contacts "
                                                    "who own projects or do tasks."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("Work on the team database <uri>, a PostgreSQL connection string or URI such as "
                       "postgresql://host/fennick or service=fennick. Without it: the environment variable "
                       "FENNICK_DATABASE, then the setting \"Database\", then the local file."),
        QStringLiteral("uri"));
    const QCommandLineOption createSchema(
        QStringLiteral("create-schema"),
        QStringLiteral("Create the program's tables in the empty team database named by --database (or "
                       "FENNICK_DATABASE), then end."));
    const QCommandLineOption copyToTeam(
        QStringLiteral("copy-to-team"),
        QStringLiteral("Copy the local database file into the empty team database named by --database, then end."));
    const QCommandLineOption copyToLocal(
        QStringLiteral("copy-to-local"),
        QStringLiteral("Copy the team database named by --database into the new local database <file>, then end."),
        QStringLiteral("file"));
    parser.addOption(database);
    parser.addOption(createSchema);
    parser.addOption(copyToTeam);
    parser.addOption(copyToLocal);

    if (!parser.parse(arguments)) {
        result.exitNow = true;
        result.exitCode = 2;
        result.output = parser.errorText() + QStringLiteral("\n") +
                        QStringLiteral("Try '%1 --help' for the options.\n")
                            .arg(arguments.value(0, QStringLiteral("fennick-planner")));
        return result;
    }
    if (parser.isSet(help)) {
        result.exitNow = true;
        result.output =
            parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("fennick-planner"));
        return result;
    }
    if (parser.isSet(version)) {
        result.exitNow = true;
        result.output = QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }
    result.database = parser.value(database);
    result.createSchema = parser.isSet(createSchema);
    result.copyToTeam = parser.isSet(copyToTeam);
    result.copyToLocal = parser.value(copyToLocal);
    if (!parser.positionalArguments().isEmpty()) {
        result.exitNow = true;
        result.exitCode = 2;
        result.output = QStringLiteral("Unexpected argument: %1\n").arg(parser.positionalArguments().first());
    }
    return result;
}
