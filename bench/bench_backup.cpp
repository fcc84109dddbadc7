// Whether a save waits for the daily backup: the time of one save (an edited project written,
// as an editor writes it) while the background copy of a 200,000-project file runs, with the
// file in its rollback-journal mode and in write-ahead-log (WAL) mode, against the same saves
// with no copy running. Also says whether the copy could finish while the saves went on.
#include "BenchSupport.h"
#include "app/Backup.h"
#include "app/Database.h"
#include "app/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bench::timeMs;

struct Saves {
    std::vector<double> ms;
    double at(double quantile) const {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? -1 : sorted[static_cast<size_t>(quantile * static_cast<double>(sorted.size() - 1))];
    }
};

// Saves a project every few milliseconds for `seconds`, or until the daily copy is made when
// `untilCopied`; returns the save times.
Saves saveRepeatedly(const QString& path, double seconds, bool untilCopied, double* copiedAfterMs) {
    Saves saves;
    QElapsedTimer clock;
    clock.start();
    *copiedAfterMs = -1;
    for (int i = 0; clock.elapsed() < seconds * 1000; ++i) {
        try {
            saves.ms.push_back(timeMs([&] {
                Database::shared().execute(
                    QStringLiteral("update Projects set Notes = 'edit %1' where ID = %2").arg(i).arg(1 + i % 1000));
            }));
        } catch (const DbError& e) {
            Bench::fail("a save during the copy", e.description().toStdString());
        }
        if (untilCopied && *copiedAfterMs < 0 && !Backup::existing(path).isEmpty()) {
            *copiedAfterMs = static_cast<double>(clock.elapsed());
            break;
        }
        QThread::msleep(5);
    }
    return saves;
}

void report(const char* what, const Saves& s) {
    std::printf("  %-34s %5zu saves  median %6.2f ms  p95 %6.2f ms  p99 %6.2f ms  max %7.2f ms\n", what, s.ms.size(),
                s.at(0.5), s.at(0.95), s.at(0.99), s.at(1.0));
}

} // namespace

int main(int argc, char** argv) {
    Bench::Environment env;
    QCoreApplication app(argc, argv);
    const QString path = env.workingDatabase();
    int rows = 200000;
    if (const int asked = QCoreApplication::arguments().value(1).toInt(); asked > 0)
        rows = asked;
    Bench::fillDatabase(path, rows);
    const double seconds = 20;
    std::printf("%d projects, %.1f MB; a save every 5 ms\n", rows, static_cast<double>(QFileInfo(path).size()) / 1e6);

    for (const char* mode : {"delete", "wal"}) {
        {
            Bench::BulkWriter unused(path); // any background work of the previous round is over
        }
        {
            sqlite3* db = nullptr;
            Bench::check(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK, "opening the file");
            const std::string pragma = std::string("pragma journal_mode = ") + mode;
            Bench::check(sqlite3_exec(db, pragma.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK, pragma,
                         sqlite3_errmsg(db));
            sqlite3_close(db);
        }
        std::printf("journal mode %s\n", mode);
        Database::shared().open(path);
        double unused = 0;

        // The copy alone, for the time it takes when nobody writes.
        QDir(Backup::folderFor(path)).removeRecursively();
        const double alone = timeMs([&] {
            Backup::startDailyBackup(path);
            Backup::waitForDailyBackup();
        });
        Bench::check(!Backup::existing(path).isEmpty(), "the daily copy with nobody writing");
        std::printf("  the daily copy alone:              %8.0f ms\n", alone);

        // Five copies, each with saves going on until it is made, each after a second of saves with
        // no copy running (the same state of the disk for both).
        Saves during, without;
        std::vector<double> copies;
        for (int round = 0; round < 5; ++round) {
            const Saves alone = saveRepeatedly(path, 1, false, &unused);
            without.ms.insert(without.ms.end(), alone.ms.begin(), alone.ms.end());
            QDir(Backup::folderFor(path)).removeRecursively();
            Backup::startDailyBackup(path);
            double copiedAfter = -1;
            const Saves some = saveRepeatedly(path, seconds, true, &copiedAfter);
            during.ms.insert(during.ms.end(), some.ms.begin(), some.ms.end());
            copies.push_back(copiedAfter);
            Backup::stopDailyBackup();
        }
        report("no copy running", without);
        report("while the daily copy runs", during);
        std::printf("  each copy made after (ms of saves):");
        for (double c : copies)
            std::printf(c >= 0 ? " %.0f" : " not within %.0f s", c >= 0 ? c : seconds);
        std::printf("\n");
        Database::shared().close();
    }
    return 0;
}
