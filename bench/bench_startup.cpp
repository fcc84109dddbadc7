// Start-up as a person sees it: from the start of the program's process to its painted main
// window, with an empty database and with 100,000 and 1,000,000 projects. The program reports its
// first paint itself (FENNICK_STARTUP_PROBE); both sides read the same monotonic clock.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

// A data home holding a working database with the given number of projects (none: the template).
QString makeDataHome(const QString& root, int rows) {
    const QString home = root + QStringLiteral("/home-%1").arg(rows);
    const QString folder = home + QStringLiteral("/data/Tarnwick/Fennick Planner");
    QDir().mkpath(folder);
    QDir().mkpath(home + QStringLiteral("/config"));
    const QString db = folder + QStringLiteral("/dbData.mdb");
    QFile::copy(QStringLiteral(FENNICK_TEMPLATE), db);
    QFile(db).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (rows > 0)
        Bench::fillDatabase(db, rows);
    return home;
}

// Milliseconds from the process start to the painted window; a negative value when the program
// did not report.
double startOnce(const QString& program, const QString& home) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("FENNICK_STARTUP_PROBE"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    auto nowMs = [] {
        return static_cast<qint64>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    };
    const qint64 started = nowMs();
    process.start(program, {});
    if (!process.waitForFinished(120000))
        return -1;
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("painted "))
            return static_cast<double>(line.mid(8).toLongLong() - started);
    }
    return -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/fennick-planner");
    const int repeats = 11;
    const std::vector<int> sizes = {0, 100000, 1000000};

    std::vector<QString> homes;
    for (int rows : sizes)
        homes.push_back(makeDataHome(root.path(), rows));
    for (const QString& home : homes)
        startOnce(program, home); // warm the page cache and the daily backup

    // Interleaved, so a slow moment of the machine falls on every size alike.
    std::vector<std::vector<double>> times(sizes.size());
    for (int i = 0; i < repeats; ++i)
        for (size_t s = 0; s < sizes.size(); ++s)
            times[s].push_back(startOnce(program, homes[s]));

    const double empty = median(times[0]);
    std::printf("start-up to the painted main window (median of %d, offscreen)\n", repeats);
    for (size_t s = 0; s < sizes.size(); ++s) {
        const double t = median(times[s]);
        std::printf("%9d projects: %8.1f ms  ratio to empty %.2f\n", sizes[s], t, t / empty);
    }
    return 0;
}
