// The compact rows of the list model (every kind of stored value reads back as the old text rows
// did, the index sort orders as a plain stable text or number sort would) and a long project list
// that streams in while the window is usable.
#include "app/ChangeFeed.h"
#include "app/Database.h"
#include "app/widgets/RecordListModel.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLocale>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <algorithm>
#include <numeric>

namespace {

using Kind = RecordListModel::Kind;
using Value = RecordListModel::Value;

Value textValue(const QByteArray& utf8) {
    Value v;
    v.type = Value::Type::Text;
    v.text = utf8.constData();
    v.size = utf8.size();
    return v;
}
// The value points into the bytes: a temporary would be gone before the value is read.
Value textValue(const QByteArray&&) = delete;

// The lists' order of two keys: numbers by value with empty and unreadable cells first, texts
// without regard to case.
bool keyLess(const QString& a, const QString& b, Kind kind, bool descending) {
    if (kind == Kind::Number) {
        auto key = [](const QString& t) {
            bool ok = false;
            const double v = t.toDouble(&ok);
            return ok ? v : -std::numeric_limits<double>::infinity();
        };
        return descending ? key(b) < key(a) : key(a) < key(b);
    }
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return descending ? c > 0 : c < 0;
}

void addProjects(int count) {
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Ann','Lee')"));
    TestEnvironment::exec(QStringLiteral("begin"));
    for (int i = 0; i < count; ++i)
        TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,"
                                             "Priority,EndDate,Budget) values ('p%1',1,'2021-08-31','Open','Main',"
                                             "'High','2021-09-30',%2)")
                                  .arg(count - i, 5, 10, QLatin1Char('0'))
                                  .arg(i));
    TestEnvironment::exec(QStringLiteral("commit"));
}

} // namespace

class TestListStorage : public QObject {
    Q_OBJECT
private slots:
    void storedValuesReadBack_data();
    void storedValuesReadBack();
    void sortMatchesStableSort_data();
    void sortMatchesStableSort();
    void longListStreamsIn();
    void manyChangesWhileLoadingRefillOnce();
    void patchesKeepOrderSelectionAndFilter_data();
    void patchesKeepOrderSelectionAndFilter();
};

void TestListStorage::storedValuesReadBack_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("repeated");
    QTest::addColumn<QVariant>("stored"); // null, qint64, double or QString
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("shown");
    const QString day = QLocale::system().toString(QDate(2021, 8, 31), QLocale::ShortFormat);
    const auto N = static_cast<int>(Kind::Number), D = static_cast<int>(Kind::Date), T = static_cast<int>(Kind::Text);
    QTest::newRow("integer") << N << false << QVariant(qint64(42)) << "42"
                             << "42";
    QTest::newRow("real") << N << false << QVariant(1000.5) << "1000.5"
                          << "1000.5";
    QTest::newRow("huge integer") << N << false << QVariant(qint64(1) << 60) << "1152921504606846976"
                                  << "1152921504606846976";
    QTest::newRow("text in a number column") << N << false << QVariant(QStringLiteral("n/a")) << "n/a"
                                             << "n/a";
    QTest::newRow("empty number") << N << false << QVariant() << ""
                                  << "";
    QTest::newRow("date") << D << false << QVariant(QStringLiteral("2021-08-31")) << "2021-08-31" << day;
    QTest::newRow("date with a time") << D << false << QVariant(QStringLiteral("2021-08-31 10:00"))
                                      << "2021-08-31 10:00" << day;
    QTest::newRow("no such day") << D << false << QVariant(QStringLiteral("2021-02-30")) << "2021-02-30"
                                 << "2021-02-30";
    QTest::newRow("number in a date column") << D << false << QVariant(qint64(5)) << "5"
                                             << "5";
    QTest::newRow("empty date") << D << false << QVariant() << ""
                                << "";
    QTest::newRow("text") << T << false << QVariant(QStringLiteral("Café ü 😀")) << "Café ü 😀"
                          << "Café ü 😀";
    QTest::newRow("repeated text") << T << true << QVariant(QStringLiteral("Open")) << "Open"
                                   << "Open";
    QTest::newRow("number in a text column") << T << true << QVariant(qint64(7)) << "7"
                                             << "7";
    QTest::newRow("empty text") << T << false << QVariant() << ""
                                << "";
}

void TestListStorage::storedValuesReadBack() {
    QFETCH(int, kind);
    QFETCH(bool, repeated);
    QFETCH(QVariant, stored);
    QFETCH(QString, raw);
    QFETCH(QString, shown);
    RecordListModel model({{QStringLiteral("a"), static_cast<Kind>(kind), repeated}});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QByteArray utf8 = stored.toString().toUtf8();
    Value v;
    if (stored.typeId() == QMetaType::LongLong) {
        v.type = Value::Type::Integer;
        v.integer = stored.toLongLong();
    } else if (stored.typeId() == QMetaType::Double) {
        v.type = Value::Type::Real;
        v.real = stored.toDouble();
    } else if (stored.isValid()) {
        v = textValue(utf8);
    }
    model.beginFill();
    const QByteArray x("x"); // the value points into it
    Value other = textValue(x);
    model.appendRow(&other); // the cell after another row's cell reads back alike
    model.appendRow(&v);
    model.finishFill();
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.rawCell(1, 0), raw);
    QCOMPARE(model.cellText(1, 0), shown);
    // The same text given as a row of texts (the other way to fill) is stored alike.
    model.setRows({{QStringLiteral("x")}, {raw}});
    QCOMPARE(model.rawCell(1, 0), raw);
}

void TestListStorage::sortMatchesStableSort_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("repeated");
    QTest::newRow("texts") << static_cast<int>(Kind::Text) << false;
    QTest::newRow("repeated texts") << static_cast<int>(Kind::Text) << true;
    QTest::newRow("numbers") << static_cast<int>(Kind::Number) << false;
}

void TestListStorage::sortMatchesStableSort() {
    QFETCH(int, kind);
    QFETCH(bool, repeated);
    // Texts that share long beginnings, differ only in case or beyond ASCII, and numbers that
    // are empty, unreadable or equal.
    const QStringList parts = {"Project ", "project ", "PROJECT ", "Ärger ", "ärger ", "a", "B", "", "z", "é"};
    const QStringList numbers = {"", "n/a", "-1", "0", "2.5", "10", "10", "1e3", "-0.25", "7"};
    QRandomGenerator random(20261207);
    RecordListModel model({{QStringLiteral("key"), static_cast<Kind>(kind), repeated}, {QStringLiteral("n")}});
    std::vector<RecordListModel::Row> rows;
    for (int i = 0; i < 600; ++i) {
        QString key;
        if (static_cast<Kind>(kind) == Kind::Number) {
            key = numbers[random.bounded(numbers.size())];
        } else {
            for (int j = random.bounded(4); j >= 0; --j)
                key += parts[random.bounded(parts.size())];
            if (!repeated)
                key += QString::number(random.bounded(30));
        }
        rows.push_back({key, QString::number(i)});
    }
    model.setRows(rows);
    QStringList before;
    for (const auto& row : rows)
        before << row[0] + QLatin1Char('|') + row[1];
    auto shown = [&] {
        QStringList result;
        for (int r = 0; r < model.rowCount(); ++r)
            result << model.rawCell(r, 0) + QLatin1Char('|') + model.rawCell(r, 1);
        return result;
    };
    // Successive sorts keep the order of the one before for equal keys, as a stable sort does.
    for (bool descending : {false, true, false}) {
        model.sort(0, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QStringList expected = before;
        std::stable_sort(expected.begin(), expected.end(), [&](const QString& a, const QString& b) {
            return keyLess(a.section(QLatin1Char('|'), 0, 0), b.section(QLatin1Char('|'), 0, 0),
                           static_cast<Kind>(kind), descending);
        });
        QCOMPARE(shown(), expected);
        before = expected;
        model.sort(1, Qt::AscendingOrder); // another column in between
        before = shown();
    }
}

void TestListStorage::longListStreamsIn() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    const int total = 2500;
    addProjects(total);
    Database::shared().close();

    Form1 form;
    form.show();
    form.Form_Load();
    RecordListModel* model = form.projectModel();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // The first part is shown at once, with its first row selected and its tasks asked for.
    QVERIFY(model->rowCount() > 0);
    QVERIFY(model->rowCount() < total);
    QVERIFY(model->isFilling());
    QCOMPARE(Form1::selectedRow(form.ListView1), 0);
    auto* progress = form.ListView1->findChild<QProgressBar*>(QStringLiteral("ListFillProgress"));
    QVERIFY(progress && progress->isVisible());
    // The rest arrives while events run.
    QTRY_COMPARE(model->rowCount(), total);
    QVERIFY(!model->isFilling());
    QVERIFY(!progress->isVisible());
    QCOMPARE(Form1::selectedRow(form.ListView1), 0);

    // A sort asked for while the list still streams waits for the whole list, and a refill
    // keeps the sort once it is complete, with the first row selected.
    form.ListData();
    QVERIFY(model->isFilling());
    Form1::headerClick(form.ListView1, 9); // Budget, ascending
    QCOMPARE(model->rowCount(), total);
    QCOMPARE(model->rawCell(0, 8), QStringLiteral("0"));
    Form1::headerClick(form.ListView1, 2); // Project Name: p00001 first
    form.ListData();
    QTRY_VERIFY(!model->isFilling());
    QCOMPARE(model->rowCount(), total);
    QCOMPARE(model->rawCell(0, 1), QStringLiteral("p00001"));
    QCOMPARE(Form1::selectedCell(form.ListView1, 1), QStringLiteral("p00001"));

    // A refill while another still streams, and closing meanwhile, leave nothing behind.
    form.ListData();
    form.ListData();
    form.Form_QueryUnload();
    // No slice of either fill is left to come, and none came on the closed connection.
    const QList<QTimer*> timers = form.findChildren<QTimer*>(Qt::FindDirectChildrenOnly);
    QTRY_VERIFY(std::none_of(timers.begin(), timers.end(), [](const QTimer* t) { return t->isActive(); }));
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join('\n')));
}

// Others change more records than a patch is worth, in several bursts each small enough to
// patch, while the list is still being read: once it is whole, it is read again once, not patched.
void TestListStorage::manyChangesWhileLoadingRefillOnce() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    const int total = 2500;
    addProjects(total);
    const qint64 first = TestEnvironment::scalar(QStringLiteral("select min(ID) from Projects")).toLongLong();
    Database::shared().close();

    Form1 form;
    form.Form_Load(); // not shown: the rest of the list waits for a first paint
    RecordListModel* model = form.projectModel();
    QVERIFY(model->isFilling());
    // The reading of the rest is held back for as long as the bursts come, as a slow server would.
    QList<QTimer*> slices = form.findChildren<QTimer*>(Qt::FindDirectChildrenOnly);
    slices.removeIf([](const QTimer* t) { return !t->isActive(); });
    QCOMPARE(slices.size(), 1);
    slices.first()->stop();
    QSignalSpy replaced(model, &RecordListModel::rowsReplaced);
    QSignalSpy patched(model, &RecordListModel::rowsPatched);
    ChangeFeed& feed = Database::shared().changes();
    QSignalSpy bursts(&feed, &ChangeFeed::changed);
    const int perBurst = 800, burstCount = 3;
    static_assert(perBurst <= ChangeFeed::maxRecords && perBurst * burstCount > ChangeFeed::maxRecords);
    for (int burst = 0; burst < burstCount; ++burst) {
        QList<qint64> ids;
        for (int i = 0; i < perBurst; ++i)
            ids << first + burst * perBurst + i;
        feed.announce(QStringLiteral("projects"), ids);
        QTRY_COMPARE(bursts.count(), burst + 1);
    }
    QVERIFY(model->isFilling());
    slices.first()->start(0);
    // The fill completes (one), then the list is read again (two).
    QTRY_COMPARE(replaced.count(), 2);
    QTRY_VERIFY(!model->isFilling());
    QCOMPARE(model->rowCount(), total);
    QCOMPARE(replaced.count(), 2);
    QCOMPARE(patched.count(), 0);
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join('\n')));
}

QTEST_MAIN(TestListStorage)
#include "tst_list_storage.moc"

void TestListStorage::patchesKeepOrderSelectionAndFilter_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("repeated");
    QTest::addColumn<int>("sorted"); // 0 unsorted, 1 ascending, 2 descending
    QTest::addColumn<bool>("filtered");
    const auto T = static_cast<int>(Kind::Text), N = static_cast<int>(Kind::Number);
    QTest::newRow("unsorted") << T << false << 0 << false;
    QTest::newRow("texts ascending") << T << false << 1 << false;
    QTest::newRow("repeated texts descending") << T << true << 2 << false;
    QTest::newRow("numbers ascending") << N << false << 1 << false;
    QTest::newRow("numbers descending, filtered") << N << false << 2 << true;
    QTest::newRow("texts unsorted, filtered") << T << false << 0 << true;
}

void TestListStorage::patchesKeepOrderSelectionAndFilter() {
    QFETCH(int, kind);
    QFETCH(bool, repeated);
    QFETCH(int, sorted);
    QFETCH(bool, filtered);
    const QStringList texts = {"Project ", "project b", "PROJECT c", "Ärger", "ärger a", "a", "B", "", "z", "é"};
    const QStringList numbers = {"", "n/a", "-1", "0", "2.5", "10", "1000", "-0.25", "7"};
    QRandomGenerator random(20261208);
    auto key = [&] {
        return static_cast<Kind>(kind) == Kind::Number ? numbers[random.bounded(numbers.size())]
                                                       : texts[random.bounded(texts.size())];
    };
    RecordListModel model(
        {{QStringLiteral("ID"), Kind::Number}, {QStringLiteral("key"), static_cast<Kind>(kind), repeated}});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // The records as stored, in the order they were added (the unsorted list's order).
    std::vector<std::pair<qint64, QString>> records;
    std::vector<RecordListModel::Row> rows;
    for (qint64 id = 1; id <= 300; ++id) {
        records.push_back({id, key()});
        rows.push_back({QString::number(id), records.back().second});
    }
    model.setRows(rows);
    const bool descending = sorted == 2;
    if (sorted)
        model.sort(1, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QSet<qint64> shownIds; // while filtered: the records the filter showed, and those added since
    if (filtered) {
        std::vector<int> shown;
        for (int r = 0; r < model.sourceRowCount(); ++r)
            if (model.sourceCell(r, 0).toLongLong() % 3 != 0) {
                shown.push_back(r);
                shownIds.insert(model.sourceCell(r, 0).toLongLong());
            }
        model.setVisibleRows(shown);
    }
    QItemSelectionModel selection(&model);
    qint64 nextId = 301;
    for (int round = 0; round < 40; ++round) {
        const int pick = random.bounded(model.rowCount());
        const qint64 selectedId = model.cellText(pick, 0).toLongLong();
        selection.setCurrentIndex(model.index(pick, 1), QItemSelectionModel::ClearAndSelect);
        // A burst: a few records changed, one added, sometimes one removed.
        for (int change = 0; change < 3; ++change) {
            auto& record = records[static_cast<size_t>(random.bounded(static_cast<int>(records.size())))];
            record.second = key();
            const QByteArray text = record.second.toUtf8();
            Value values[2];
            values[0].type = Value::Type::Integer;
            values[0].integer = record.first;
            if (!record.second.isEmpty())
                values[1] = textValue(text);
            if (static_cast<Kind>(kind) == Kind::Number && !record.second.isEmpty()) {
                bool ok = false;
                const double d = record.second.toDouble(&ok);
                if (ok)
                    values[1] = Value{Value::Type::Real, 0, d, nullptr, 0};
            }
            model.patchRecord(values);
        }
        records.push_back({nextId++, key()});
        shownIds.insert(records.back().first);
        const QByteArray added = records.back().second.toUtf8();
        Value values[2];
        values[0].type = Value::Type::Integer;
        values[0].integer = records.back().first;
        if (!added.isEmpty())
            values[1] = textValue(added);
        model.patchRecord(values);
        qint64 removed = 0;
        if (round % 4 == 3) {
            const auto at = static_cast<size_t>(random.bounded(static_cast<int>(records.size())));
            removed = records[at].first;
            records.erase(records.begin() + static_cast<std::ptrdiff_t>(at));
            model.removeRecord(removed);
            shownIds.remove(removed);
        }
        model.endPatch();

        // Every record once, with its value now; while filtered, just those it showed and the new.
        QList<qint64> expectedIds;
        for (const auto& [id, text] : records)
            if (!filtered || shownIds.contains(id))
                expectedIds << id;
        QList<qint64> ids;
        for (int r = 0; r < model.rowCount(); ++r)
            ids << model.cellText(r, 0).toLongLong();
        if (!sorted) {
            QCOMPARE(ids, expectedIds);
        } else {
            QList<qint64> a = ids, b = expectedIds;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            QCOMPARE(a, b);
            for (int r = 1; r < model.rowCount(); ++r)
                QVERIFY2(!keyLess(model.rawCell(r, 1), model.rawCell(r - 1, 1), static_cast<Kind>(kind), descending),
                         qPrintable(QStringLiteral("row %1 out of order").arg(r)));
        }
        for (int r = 0; r < model.rowCount(); ++r) {
            const auto it = std::find_if(records.begin(), records.end(),
                                         [&](const auto& record) { return record.first == ids[r]; });
            QCOMPARE(model.rawCell(r, 1), it->second);
        }
        // The selection stays on its record, unless that record went away.
        if (selectedId != removed)
            QCOMPARE(model.cellText(selection.currentIndex().row(), 0).toLongLong(), selectedId);
    }
}
