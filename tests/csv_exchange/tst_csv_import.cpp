// Export and import through the main window's commands: whole tables back into an empty
// database, an address book's contacts through a scripted preview, all-or-nothing writing, the
// lists as shown and Edit > Copy.
#include "app/Backup.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/widgets/RecordListModel.h"
#include "csv_exchange/TableImport.h"
#include "csv_exchange/widgets/CsvCommands.h"
#include "csv_exchange/widgets/ImportPreviewDialog.h"
#include "main_window/Form1.h"
#include "sample_data/SampleData.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeView>
#include <QWheelEvent>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// A preview that hands the batch to the test and answers as told.
class ScriptedReview final : public ImportReview {
public:
    ScriptedReview() { ImportReview::install(this); }
    ~ScriptedReview() override { ImportReview::install(nullptr); }
    bool confirm(ImportBatch& batch) override {
        ++shown;
        return script ? script(batch) : true;
    }
    std::function<bool(ImportBatch&)> script;
    int shown = 0;
};

// Every table as the program reads it, one text per row; a missing text reads as empty, as CSV
// cannot tell them apart.
QStringList snapshot() {
    QStringList all;
    const char* queries[] = {
        "select ID,coalesce(FirstName,''),coalesce(LastName,''),coalesce(Email,''),coalesce(Company,''),"
        "coalesce(JobTitle,''),coalesce(BusinessPhone,''),coalesce(HomePhone,''),coalesce(MobilePhone,''),"
        "coalesce(FaxNumber,''),coalesce(Address,''),coalesce(City,''),coalesce(State,''),coalesce(ZIP,''),"
        "coalesce(Country,''),coalesce(WebPage,''),coalesce(Notes,'') from Employees order by ID",
        "select ID,ProjectName,Owner,StartDate,coalesce(Status,''),Category,Priority,coalesce(Notes,''),EndDate,"
        "BudgetInDays,Budget from Projects order by ID",
        "select ID,ProjectID,Title,coalesce(Priority,''),Status,Cost,CostInDays,PercentComplete,AssignedTo,"
        "coalesce(Description,''),StartDate,DueDate from Tasks order by ID",
        "select Status from Status",
        "select Category from Categories",
        "select Priority from Priorities"};
    for (const char* q : queries)
        all << TestEnvironment::rows(QLatin1String(q));
    return all;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int count(const char* table) {
    return TestEnvironment::scalar(QStringLiteral("select count(*) from ") + QLatin1String(table)).toInt();
}

// Closes the shared connection and opens an empty database in its place: the local file made anew,
// or a second team database (dropped when the returned guard ends).
std::shared_ptr<void> emptyDatabase(TestEnvironment& env) {
    Database::shared().close();
    if (!TestEnvironment::isTeam()) {
        QFile::remove(DataStore::workingDatabase());
        env.openDatabase();
        return {};
    }
    const QString fresh = TestServer::freshDatabase();
    Database::shared().open(fresh);
    return std::shared_ptr<void>(nullptr, [fresh](void*) {
        Database::shared().close();
        TestServer::dropDatabase(fresh);
    });
}

struct Window {
    Window() {
        env.openDatabase();
        form.Form_Load();
    }
    void trigger(const char* action) {
        QAction* a = form.findChild<QAction*>(QLatin1String(action));
        QVERIFY2(a, action);
        a->trigger();
    }
    QString path(const char* name) const { return env.root() + QLatin1Char('/') + QLatin1String(name); }

    TestEnvironment env;
    ScriptedMessages messages;
    ScriptedReview review;
    Form1 form;
};

// An address book's export: a desktop mail program's column names in its own order, and a column the
// program has no field for.
const QByteArray addressBook = "\xEF\xBB\xBF"
                               "Title,First Name,Middle Name,Last Name,Company,Job Title,Business Street,"
                               "Home Street,Business Phone,Mobile Phone,E-mail Address,Notes,Nickname\r\n"
                               ",Zoë,,Brandt,Acme,Buyer,,12 Elm Road,+44 20 7946 0000,07700 900123,"
                               "zoe@example.com,\"=cmd|' /C calc'!A0\",\r\n"
                               ",Raj,,,,,,,,,raj@example.com,,Patel\r\n"
                               "Dr,Mei,,O'Neill,\"Lab, Inc.\",,1 Main St,2 Side St,,,,\"line 1\nline 2\",\r\n";

// The same kind of export from a mail program set up for a country that writes decimal commas: cells
// separated by semicolons, Windows-1252 text.
const QByteArray semicolonBook = "First Name;Last Name;E-mail Address;Mobile Phone;Business Street;Notes\r\n"
                                 "J\xFCrgen;M\xFCller;j.mueller@example.de;+49 30 1234567;Hauptstra\xDF"
                                 "e 5, Berlin;\"Rabatt 2,5 %; Zahlung 30 Tage\"\r\n"
                                 "Ana\xEFs;Lef\xE8vre;anais@example.fr;06 12 34 56 78;;\r\n";

} // namespace

class TestCsvImport : public QObject {
    Q_OBJECT
private slots:
    void headerNames_data();
    void headerNames();
    void wholeTablesImportBackUnchanged();
    void deletedContactsNumberIsNeverGivenAgain();
    void addressBookThroughScriptedPreview();
    void semicolonAddressBookThroughScriptedPreview();
    void previewDialogRemapsAndCounts();
    void countsInWords_data();
    void countsInWords();
    void failureAddsNothingAndNamesTheRow();
    void badFilesChangeNothing_data();
    void badFilesChangeNothing();
    void previewMarksRows_data();
    void previewMarksRows();
    void realAddressBooks_data();
    void realAddressBooks();
    void previewRereadsInAnotherEncoding();
    void previewOfUnknownColumnsLetsTheKindBeChosen();
    void projectsBringTheirContactsAndValues();
    void listExportFollowsSortAndColumnOrder();
    void copyPutsTheSelectedRowOnTheClipboard();
};

void TestCsvImport::headerNames_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("field");
    const int contacts = int(ImportKind::Contacts), projects = int(ImportKind::Projects),
              tasks = int(ImportKind::Tasks);
    const struct {
        int kind;
        const char* header;
        const char* field;
    } cases[] = {
        {contacts, "First Name", "FirstName"},
        {contacts, "Given Name", "FirstName"},
        {contacts, "Last Name", "LastName"},
        {contacts, "Family Name", "LastName"},
        {contacts, "Surname", "LastName"},
        {contacts, "E-mail Address", "Email"},
        {contacts, "Email", "Email"},
        {contacts, "E-mail 1 - Value", "Email"},
        {contacts, "Primary Email", "Email"},
        {contacts, "Mobile Phone", "MobilePhone"},
        {contacts, "Mobile Number", "MobilePhone"},
        {contacts, "Business Phone", "BusinessPhone"},
        {contacts, "Phone 1 - Value", "PhoneByType"},
        {contacts, "Phone 3 - Value", "PhoneByType"},
        {contacts, "Phone 1 - Type", ""},
        {contacts, "Organization Name", "Company"},
        {contacts, "Organization Title", "JobTitle"},
        {contacts, "Home Phone", "HomePhone"},
        {contacts, "Business Fax", "FaxNumber"},
        {contacts, "Company", "Company"},
        {contacts, "Organization 1 - Name", "Company"},
        {contacts, "Job Title", "JobTitle"},
        {contacts, "Business Street", "Address"},
        {contacts, "Business City", "City"},
        {contacts, "Business State", "State"},
        {contacts, "Business Postal Code", "ZIP"},
        {contacts, "Zip Code", "ZIP"},
        {contacts, "Business Country/Region", "Country"},
        {contacts, "Web Page", "WebPage"},
        {contacts, "Display Name", "FullName"},
        {contacts, "Notes", "Notes"},
        {contacts, "Nickname", ""},
        {contacts, "Middle Name", ""},
        {projects, "Project ID", "ID"},
        {projects, "Project Name", "ProjectName"},
        {projects, "Owner", "OwnerName"},
        {projects, "OwnerID", "OwnerID"},
        {projects, "Start", "StartDate"},
        {projects, "Budget in Days", "BudgetInDays"},
        {tasks, "Assigned To", "AssignedTo"},
        {tasks, "AssignedID", "AssignedID"},
        {tasks, "% Complete", "PercentComplete"},
        {tasks, "Cost in Days", "CostInDays"},
        {tasks, "Due Date", "DueDate"},
    };
    for (const auto& c : cases)
        QTest::addRow("%s", c.header) << c.kind << QString::fromUtf8(c.header) << QString::fromUtf8(c.field);
}

void TestCsvImport::headerNames() {
    QFETCH(int, kind);
    QFETCH(QString, header);
    QFETCH(QString, field);
    const int f = ImportFields::match(ImportKind(kind), header);
    QCOMPARE(f < 0 ? QString() : QString::fromLatin1(ImportFields::of(ImportKind(kind))[size_t(f)].key), field);
}

void TestCsvImport::wholeTablesImportBackUnchanged() {
    Window w;
    SampleData::load(QDate(2026, 3, 2));
    // Rows that test the cells: quotes, a formula, line breaks, wide characters, fractions, a
    // number with 17 digits, and a task whose contact is gone.
    for (const char* statement :
         {"insert into Employees (FirstName,LastName,Notes) values ('Zoë','O''Neill','=cmd|'' /C calc''!A0')",
          "insert into Status values ('-on hold')",
          "insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,BudgetInDays,"
          "Budget) values ('Café, \"big\"',3,'2026-01-31','-on hold','Main Category','High','line 1\r\nline 2',"
          "'2026-12-31',12,12345678901234.568)",
          "insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,AssignedTo,Description,"
          "StartDate,DueDate) values (4,'@risk','High','-on hold',0.1,1.5,100,99,'日本語','2026-02-01','2026-02-28')"})
        TestEnvironment::exec(QLatin1String(statement));
    const QStringList before = snapshot();

    const char* actions[] = {"actionExportContacts", "actionExportValueLists", "actionExportProjects",
                             "actionExportTasks"};
    const char* files[] = {"contacts.csv", "value-lists.csv", "projects.csv", "tasks.csv"};
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        paths << w.path(files[i]);
        w.messages.fileNext({paths.back()});
        w.trigger(actions[i]);
    }
    QVERIFY(fileBytes(w.path("projects.csv")).contains("2026-01-31,2026-12-31,'-on hold,"));
    QVERIFY(fileBytes(w.path("contacts.csv")).contains(",'=cmd|' /C calc'!A0\r\n"));
    QVERIFY(fileBytes(w.path("projects.csv")).contains(",12345678901234.568,12,"));

    // A fresh, empty database; the files in an order of their own.
    if (TestEnvironment::isTeam()) {
        TestEnvironment::exec(QStringLiteral("truncate tasklinks, tasks, projects, employees, status_entries, "
                                             "categories_entries, priorities_entries restart identity"));
    } else {
        Database::shared().close();
        QVERIFY(QFile::remove(DataStore::workingDatabase()));
        w.env.openDatabase();
    }
    QCOMPARE(count("Projects") + count("Employees") + count("Status"), 0);
    std::reverse(paths.begin(), paths.end());
    w.messages.fileNext(paths);
    w.trigger("actionImportProjects");
    QCOMPARE(w.review.shown, 1);
    QCOMPARE(w.messages.errors().join(QLatin1Char('\n')), QString());
    QCOMPARE(w.messages.notices(), QStringList{"Imported 7 value-list entries, 3 contacts, 4 projects, 4 tasks."});
    QCOMPARE(snapshot(), before);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects where Budget=12345678901234.568"))
                 .toInt(),
             1);
    QCOMPARE(Backup::existing(DataStore::workingDatabase()).size() >= 1, !TestEnvironment::isTeam());
    QCOMPARE(w.form.projectModel()->rowCount(), 4);
}

// A contact deleted while a task of another project still names it; the tables exported, imported
// into an empty database, and then an address book imported: the newcomer gets a number of its
// own, and the task still shows that its contact is gone.
void TestCsvImport::deletedContactsNumberIsNeverGivenAgain() {
    Window w;
    SampleData::load(QDate(2026, 3, 2));
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Gone','Away')"));
    const qint64 gone = TestEnvironment::scalar(QStringLiteral("select max(ID) from Employees")).toLongLong();
    TestEnvironment::exec(
        QStringLiteral("insert into Tasks (ProjectID,Title,AssignedTo,StartDate,DueDate,PercentComplete,Cost,"
                       "CostInDays) values (1,'Orphan',%1,'2026-03-02','2026-03-09',0,0,0)")
            .arg(gone));
    TestEnvironment::exec(QStringLiteral("delete from Employees where ID=%1").arg(gone));
    const QString orphan = QStringLiteral("select AssignedID,AssignedTo from [Open Tasks] where Title='Orphan'");
    QCOMPARE(TestEnvironment::rows(orphan), QStringList{QStringLiteral("%1|(deleted contact)").arg(gone)});

    const char* actions[] = {"actionExportContacts", "actionExportValueLists", "actionExportProjects",
                             "actionExportTasks"};
    QStringList paths;
    for (const char* action : actions) {
        paths << w.path(action) + QStringLiteral(".csv");
        w.messages.fileNext({paths.back()});
        w.trigger(action);
    }
    const auto fresh = emptyDatabase(w.env);
    QCOMPARE(count("Employees") + count("Tasks"), 0);
    w.messages.fileNext(paths);
    w.trigger("actionImportProjects");
    QCOMPARE(TestEnvironment::rows(orphan), QStringList{QStringLiteral("%1|(deleted contact)").arg(gone)});

    writeFile(w.path("book.csv"), "First Name,Last Name,E-mail Address\r\nNew,Comer,new@example.com\r\n");
    w.messages.fileNext({w.path("book.csv")});
    w.trigger("actionImportContacts");
    QCOMPARE(w.messages.notices().last(), QStringLiteral("Imported 1 contact."));
    QVERIFY(TestEnvironment::scalar(QStringLiteral("select ID from Employees where LastName='Comer'")).toLongLong() >
            gone);
    QCOMPARE(TestEnvironment::rows(orphan), QStringList{QStringLiteral("%1|(deleted contact)").arg(gone)});
}

void TestCsvImport::addressBookThroughScriptedPreview() {
    Window w;
    writeFile(w.path("book.csv"), addressBook);
    QStringList seen;
    w.review.script = [&](ImportBatch& batch) {
        ImportFile& file = batch.files().front();
        seen << batch.summary();
        for (const RefusedRow& r : file.refused)
            seen << QStringLiteral("%1: %2").arg(r.line).arg(r.reason);
        // "Nickname" holds Raj's last name here: the user maps it.
        file.setMapping(12, ImportFields::match(ImportKind::Contacts, QStringLiteral("Last Name")));
        batch.check();
        seen << batch.summary();
        return true;
    };
    Backup::waitForDailyBackup(); // the daily copy of start-up counts before the import
    const int backups = int(Backup::existing(DataStore::workingDatabase()).size());
    w.messages.fileNext({w.path("book.csv")});
    w.trigger("actionImportContacts");
    // Raj has no last name but an e-mail address: he is imported either way.
    QCOMPARE(seen, QStringList({"3 contacts will be added.", "3 contacts will be added."}));
    QCOMPARE(w.messages.notices(), QStringList{"Imported 3 contacts."});
    QCOMPARE(TestEnvironment::rows(QStringLiteral(
                 "select FirstName,LastName,Email,Company,JobTitle,BusinessPhone,MobilePhone,Address,Notes "
                 "from Employees order by ID")),
             QStringList({"Zoë|Brandt|zoe@example.com|Acme|Buyer|+44 20 7946 0000|07700 900123|12 Elm Road|"
                          "=cmd|' /C calc'!A0",
                          "Raj|Patel|raj@example.com||||||", "Mei|O'Neill||Lab, Inc.||||1 Main St|line 1\nline 2"}));
    // A server's backups are its administrator's business.
    QCOMPARE(int(Backup::existing(DataStore::workingDatabase()).size()), backups + (TestEnvironment::isTeam() ? 0 : 1));
}

void TestCsvImport::semicolonAddressBookThroughScriptedPreview() {
    Window w;
    writeFile(w.path("kontakte.csv"), semicolonBook);
    QStringList seen;
    w.review.script = [&](ImportBatch& batch) {
        const ImportFile& file = batch.files().front();
        ImportPreviewDialog dialog(batch);
        seen << dialog.findChild<QLabel*>(QStringLiteral("Source"))->text() << batch.summary() << file.mappedKey(0)
             << file.mappedKey(2) << file.mappedKey(5);
        return true;
    };
    w.messages.fileNext({w.path("kontakte.csv")});
    w.trigger("actionImportContacts");
    QCOMPARE(seen, QStringList({"Rows of kontakte.csv (read as Windows-1252, cells separated by semicolons) become "
                                "contacts. Choose what each column is imported as:",
                                "2 contacts will be added.", "FirstName", "Email", "Notes"}));
    QCOMPARE(w.messages.notices(), QStringList{"Imported 2 contacts."});
    QCOMPARE(TestEnvironment::rows(QStringLiteral(
                 "select FirstName,LastName,Email,MobilePhone,Address,Notes from Employees order by ID")),
             QStringList({"Jürgen|Müller|j.mueller@example.de|+49 30 1234567|Hauptstraße 5, Berlin|Rabatt 2,5 %; "
                          "Zahlung 30 Tage",
                          "Anaïs|Lefèvre|anais@example.fr|06 12 34 56 78||"}));
}

void TestCsvImport::previewDialogRemapsAndCounts() {
    TestEnvironment env;
    env.openDatabase();
    CsvReadResult read = Csv::read(addressBook);
    QVERIFY(read.ok);
    ImportBatch batch;
    batch.add(QStringLiteral("book.csv"), ImportKind::Contacts, read.table);
    batch.check();
    ImportPreviewDialog dialog(batch);
    auto* summary = dialog.findChild<QLabel*>(QStringLiteral("Summary"));
    auto* refused = dialog.findChild<QListWidget*>(QStringLiteral("Refused"));
    QCOMPARE(summary->text(), QStringLiteral("3 contacts will be added."));
    QCOMPARE(refused->count(), 0);
    auto* firstName = dialog.findChild<QComboBox*>(QStringLiteral("Map1"));
    QCOMPARE(firstName->currentText(), QStringLiteral("First Name"));
    // A wheel turned while the pointer passes over a box (scrolling the table) leaves its mapping.
    QWheelEvent wheel(QPointF(5, 5), firstName->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(firstName, &wheel);
    QCOMPARE(firstName->currentText(), QStringLiteral("First Name"));
    firstName->setCurrentIndex(0); // not imported: a last name or an e-mail address is enough
    QCOMPARE(summary->text(), QStringLiteral("3 contacts will be added."));
    dialog.findChild<QComboBox*>(QStringLiteral("Map3"))->setCurrentIndex(0);
    dialog.findChild<QComboBox*>(QStringLiteral("Map10"))->setCurrentIndex(0);
    QCOMPARE(summary->text(), QStringLiteral("0 contacts will be added; 3 rows are refused."));
    QCOMPARE(refused->item(0)->text(), QStringLiteral("Line 2: no name and no e-mail address"));
    QCOMPARE(refused->item(1)->text(), QStringLiteral("Line 3: none of its cells is in a column that is imported"));
    QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("ImportButton"))->isEnabled());
}

void TestCsvImport::countsInWords_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("words");
    QTest::newRow("one contact") << int(ImportKind::Contacts) << 1 << "1 contact";
    QTest::newRow("no contacts") << int(ImportKind::Contacts) << 0 << "0 contacts";
    QTest::newRow("one project") << int(ImportKind::Projects) << 1 << "1 project";
    QTest::newRow("two tasks") << int(ImportKind::Tasks) << 2 << "2 tasks";
    QTest::newRow("one task") << int(ImportKind::Tasks) << 1 << "1 task";
    QTest::newRow("one entry") << int(ImportKind::ValueLists) << 1 << "1 value-list entry";
    QTest::newRow("entries") << int(ImportKind::ValueLists) << 6 << "6 value-list entries";
}

void TestCsvImport::countsInWords() {
    QFETCH(int, kind);
    QFETCH(int, count);
    QFETCH(QString, words);
    QCOMPARE(ImportFields::countOf(static_cast<ImportKind>(kind), count), words);
}

void TestCsvImport::failureAddsNothingAndNamesTheRow() {
    Window w;
    if (TestEnvironment::isTeam()) {
        TestEnvironment::exec(QStringLiteral(
            "create function refuse_oneill() returns trigger language plpgsql as $$ begin if NEW.lastname = "
            "'O''Neill' then raise exception 'refused by the database'; end if; return NEW; end $$"));
        TestEnvironment::exec(QStringLiteral("create trigger refuse_oneill before insert on employees for each row "
                                             "execute function refuse_oneill()"));
    } else {
        TestEnvironment::exec(
            QStringLiteral("create trigger Refuse before insert on Employees when NEW.LastName='O''Neill' "
                           "begin select raise(abort, 'refused by the database'); end"));
    }
    writeFile(w.path("book.csv"), addressBook);
    w.messages.fileNext({w.path("book.csv")});
    w.trigger("actionImportContacts");
    QCOMPARE(w.messages.notices(), QStringList{"Nothing was imported. book.csv, line 4: refused by the database"});
    QCOMPARE(count("Employees"), 0);
    // The connection is usable afterwards: no transaction was left open.
    TestEnvironment::exec(QStringLiteral("insert into Status values ('Open')"));
    QCOMPARE(count("Status"), 1);
}

void TestCsvImport::badFilesChangeNothing_data() {
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("refused"); // the first row the preview refuses, when it is shown
    // A row of the wrong width, or headers that are not known, no longer refuse the file: the
    // preview shows it, refusing the rows that cannot be imported.
    QTest::newRow("ragged") << QByteArray("actionImportContacts") << QByteArray("First Name,Last Name\nAnn\n")
                            << "Nothing was imported: no row can be added."
                            << "2: the row has 1 cells, but the header has 2";
    QTest::newRow("commas under a tab header")
        << QByteArray("actionImportContacts") << QByteArray("First Name\tLast Name\nAnn,Lee\n")
        << "Nothing was imported: no row can be added."
        << "2: the row has 1 cells, but the header has 2";
    QTest::newRow("open quote") << QByteArray("actionImportContacts") << QByteArray("First Name\n\"Ann\n")
                                << "Nothing was imported. bad.csv cannot be read as a CSV file: Line 2: a quoted"
                                << "";
    QTest::newRow("binary") << QByteArray("actionImportProjects") << QByteArray("PK\3\4\0\0", 6)
                            << "Nothing was imported. bad.csv cannot be read as a CSV file: The file holds a NUL"
                            << "";
    QTest::newRow("unknown columns") << QByteArray("actionImportProjects") << QByteArray("Colour,Size\nred,2\n")
                                     << "Nothing was imported: no row can be added."
                                     << "2: none of its cells is in a column that is imported";
    QTest::newRow("no contact column") << QByteArray("actionImportContacts") << QByteArray("{\"a\": 1, \"b\": 2}\n")
                                       << "Nothing was imported: no row can be added."
                                       << "";
    QTest::newRow("nothing to add") << QByteArray("actionImportContacts") << QByteArray("Phone\n555 0100\n")
                                    << "Nothing was imported: no row can be added."
                                    << "2: no name and no e-mail address";
}

void TestCsvImport::badFilesChangeNothing() {
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, notice);
    QFETCH(QString, refused);
    Window w;
    writeFile(w.path("bad.csv"), bytes);
    QString firstRefused;
    w.review.script = [&](ImportBatch& batch) {
        const auto& rows = batch.files().front().refused;
        if (!rows.empty())
            firstRefused = QStringLiteral("%1: %2").arg(rows.front().line).arg(rows.front().reason);
        return true;
    };
    const QStringList before = snapshot();
    Backup::waitForDailyBackup(); // the daily copy of start-up counts before the import
    const int backups = int(Backup::existing(DataStore::workingDatabase()).size());
    w.messages.fileNext({w.path("bad.csv")});
    w.trigger(action.constData());
    QCOMPARE(w.messages.notices().size(), 1);
    QVERIFY2(w.messages.notices().front().startsWith(notice), qPrintable(w.messages.notices().front()));
    QCOMPARE(firstRefused, refused);
    QCOMPARE(snapshot(), before);
    QCOMPARE(int(Backup::existing(DataStore::workingDatabase()).size()), backups);
}

// What the preview says about the rows of a file and what is stored after the import: rows of the
// wrong width, impossible values, missing values refused or filled in, contacts already there
// skipped or added, an address book's several values in one cell.
void TestCsvImport::previewMarksRows_data() {
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fill");       // fill in missing values instead of refusing the rows
    QTest::addColumn<bool>("duplicates"); // import rows that match a contact already there
    QTest::addColumn<QStringList>("preview");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("stored");
    const QByteArray contacts("actionImportContacts"), projects("actionImportProjects");
    const QString people = QStringLiteral("select FirstName,LastName,Email from Employees order by ID");
    const QString plans =
        QStringLiteral("select ProjectName,StartDate,EndDate,Budget,BudgetInDays from Projects order by ID");
    const QStringList ann{QStringLiteral("insert into Employees (FirstName,LastName,Email) values "
                                         "('Ann','Lee','ann@example.com')")};
    const QString projectHeader = QStringLiteral("Project Name,Owner,Start,End,Budget,Budget in Days\n");

    QTest::newRow("a short row is refused, not the file")
        << contacts << QStringList() << QByteArray("First Name;Last Name\nAnn;Lee\nBo\n") << false << false
        << QStringList{"refused 3: the row has 1 cells, but the header has 2"}
        << "1 contact will be added; 1 row is refused." << people << QStringList{"Ann|Lee|"};
    QTest::newRow("only an e-mail address")
        << contacts << QStringList() << QByteArray("E-mail Address\nsolo@example.com\n") << false << false
        << QStringList{"note 2: no name, only the e-mail address solo@example.com"} << "1 contact will be added."
        << people << QStringList{"||solo@example.com"};
    const QByteArray twice("First Name,Last Name,E-mail Address\nANN,lee,Ann@Example.com\nBo,Ek,bo@example.com\n"
                           "Bo,Ek,BO@example.com\nBo,Ek,\n");
    QTest::newRow("contacts already there are skipped")
        << contacts << ann << twice << false << false
        << QStringList{"skipped 2: the same name and e-mail address as the contact Ann Lee",
                       "skipped 4: the same name and e-mail address as line 3 of book.csv"}
        << "2 contacts will be added; 2 rows match contacts already there and are skipped." << people
        << QStringList{"Ann|Lee|ann@example.com", "Bo|Ek|bo@example.com", "Bo|Ek|"};
    QTest::newRow("contacts already there, added on request")
        << contacts << ann << twice << false << true
        << QStringList{"skipped 2: the same name and e-mail address as the contact Ann Lee",
                       "skipped 4: the same name and e-mail address as line 3 of book.csv"}
        << "4 contacts will be added." << people
        << QStringList{"Ann|Lee|ann@example.com", "ANN|lee|Ann@Example.com", "Bo|Ek|bo@example.com",
                       "Bo|Ek|BO@example.com", "Bo|Ek|"};
    const QByteArray gaps = (projectHeader + "A,Nina Novak,,,,\nB,Nina Novak,2026-05-01,,5,1\n").toUtf8();
    QTest::newRow("missing values refused")
        << projects << QStringList() << gaps << false << false
        << QStringList{"refused 2: no Start, End, Budget, Budget in Days (a value every project must have)",
                       "refused 3: no End (a value every project must have)"}
        << "0 projects will be added; 2 rows are refused." << plans << QStringList();
    QTest::newRow("missing values filled in")
        << projects << QStringList() << gaps << true << false
        << QStringList{"note 2: filled in: Start 2026-03-02, End 2026-03-02, Budget 0, Budget in Days 0",
                       "note 3: filled in: End 2026-05-01"}
        << "2 projects will be added." << plans
        << QStringList{"A|2026-03-02|2026-03-02|0|0", "B|2026-05-01|2026-05-01|5|1"};
    QTest::newRow("impossible project values")
        << projects << QStringList()
        << (projectHeader + "Backwards,Nina Novak,2026-05-01,2025-05-01,1,1\n"
                            "Too early,Nina Novak,0001-01-01,2026-01-01,1,1\n"
                            "Too late,Nina Novak,2026-01-01,9999-12-31,1,1\n"
                            "Negative,Nina Novak,2026-01-01,2026-02-01,-10,1\n"
                            "Exponent,Nina Novak,2026-01-01,2026-02-01,1,1e3\n"
                            "One day,Nina Novak,2026-01-01,2026-01-01,0,0.5\n")
               .toUtf8()
        << false << false
        << QStringList{"refused 2: End 2025-05-01 is before Start 2026-05-01",
                       "refused 3: Start 0001-01-01 is not within the years 1900 to 2200",
                       "refused 4: End 9999-12-31 is not within the years 1900 to 2200",
                       "refused 5: Budget -10 is below 0",
                       "refused 6: Budget in Days \"1e3\" is not a number (write it like 1234.5)"}
        << "1 project will be added; 5 rows are refused." << plans
        << QStringList{"One day|2026-01-01|2026-01-01|0|0.5"};
    QTest::newRow("impossible task values")
        << projects
        << QStringList{"insert into Employees (FirstName,LastName) values ('Ann','Lee')",
                       "insert into Projects (ProjectName,Owner) values ('Home',1)"}
        << QByteArray("Project ID,Title,Assigned To,Start Date,Due Date,% Complete,Cost,Cost in Days\n"
                      "1,Over,Ann Lee,2026-01-01,2026-01-02,150,1,1\n"
                      "1,Minus,Ann Lee,2026-01-01,2026-01-02,10,-10,1\n"
                      "1,Late,Ann Lee,2026-01-05,2026-01-02,10,1,1\n"
                      "1,Good,Ann Lee,2026-01-01,2026-01-02,100,0,0\n")
        << false << false
        << QStringList{"refused 2: % Complete 150 is not between 0 and 100", "refused 3: Cost -10 is below 0",
                       "refused 4: Due Date 2026-01-02 is before Start Date 2026-01-05"}
        << "1 task will be added; 3 rows are refused."
        << QStringLiteral("select Title,PercentComplete,Cost from Tasks order by ID") << QStringList{"Good|100|0"};
    QTest::newRow("several values in one cell")
        << contacts << QStringList()
        << QByteArray("Given Name,Family Name,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value,"
                      "Phone 2 - Type,Phone 2 - Value\n"
                      "Ann,Lee,* Work,ann@a.example ::: ann@b.example,Mobile,555 0102 ::: 555 0103,Work,555 0101\n")
        << false << false
        << QStringList{"note 2: E-mail 1 - Value holds several values; the first is imported (ann@a.example)",
                       "note 2: Phone 1 - Value holds several values; the first is imported (555 0102)"}
        << "1 contact will be added."
        << QStringLiteral("select FirstName,Email,BusinessPhone,MobilePhone from Employees")
        << QStringList{"Ann|ann@a.example|555 0101|555 0102"};
}

void TestCsvImport::previewMarksRows() {
    QFETCH(QByteArray, action);
    QFETCH(QStringList, setup);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fill);
    QFETCH(bool, duplicates);
    QFETCH(QStringList, preview);
    QFETCH(QString, summary);
    QFETCH(QString, query);
    QFETCH(QStringList, stored);
    Window w;
    for (const QString& statement : std::as_const(setup))
        TestEnvironment::exec(statement);
    writeFile(w.path("book.csv"), bytes);
    QStringList seen;
    QString said;
    w.review.script = [&](ImportBatch& batch) {
        batch.today = QDate(2026, 3, 2);
        batch.missingValues = fill ? ImportBatch::MissingValues::FillDefaults : ImportBatch::MissingValues::Refuse;
        ImportFile& file = batch.files().front();
        file.includeDuplicates = duplicates;
        batch.check();
        for (const RefusedRow& r : file.refused)
            seen << QStringLiteral("refused %1: %2").arg(r.line).arg(r.reason);
        for (const RefusedRow& r : file.duplicates)
            seen << QStringLiteral("skipped %1: %2").arg(r.line).arg(r.reason);
        for (const RefusedRow& r : file.notes)
            seen << QStringLiteral("note %1: %2").arg(r.line).arg(r.reason);
        said = batch.summary();
        return true;
    };
    w.messages.fileNext({w.path("book.csv")});
    w.trigger(action.constData());
    QCOMPARE(seen, preview);
    QCOMPARE(said, summary);
    QCOMPARE(TestEnvironment::rows(query), stored);
}

// Exports of other programs, as their projects keep them in their own test data (see
// tests/data/contacts/README.md): every field lands where it belongs.
void TestCsvImport::realAddressBooks_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("stored"); // first|last|e-mail|company|job|business|home|mobile|fax|
                                             // address|city|state|zip|country|web|notes
    QTest::newRow("Google, older format") << "google-roundcube.csv"
                                          << QStringList{"Firstname|Lastname|home@aaa.pl|company|jobtitle|mainphone|"
                                                         "homephone|mobile|homefax|home_street|home_city|home_state|"
                                                         "home_zip|home_country|test.com|note\"note"};
    QTest::newRow("Outlook, e-mail addresses only")
        << "outlook-roundcube.csv" << QStringList{"||test1@domain.tld|||||||||||||"};
    QTest::newRow("Thunderbird") << "thunderbird-roundcube.csv"
                                 << QStringList{"Firstname|Lastname|test@domain.tld|Organization|title|phone work|"
                                                "phone home|mobile|fax|Priv address|City|region|xx-xxx|USA|"
                                                "http://page.com|"};
    QTest::newRow("Thunderbird, quoted cells")
        << "thunderbird-comm-central.csv"
        << QStringList{"contact|one|contact1@invalid|||||||||||||",
                       QString::fromUtf8("contact|two|contact2@invalid||\"worker\"|||||||||||here's some unicode "
                                         "text\xE2\x80\xA6")};
}

void TestCsvImport::realAddressBooks() {
    QFETCH(QString, file);
    QFETCH(QStringList, stored);
    const QString path = QStringLiteral(FENNICK_TEST_DATA "/contacts/") + file;
    QVERIFY2(QFile::exists(path), qPrintable(path));
    Window w;
    w.messages.fileNext({path});
    w.trigger("actionImportContacts");
    QCOMPARE(w.messages.notices().join(QLatin1Char('\n')),
             QStringLiteral("Imported %1.").arg(ImportFields::countOf(ImportKind::Contacts, int(stored.size()))));
    QCOMPARE(TestEnvironment::rows(QStringLiteral(
                 "select FirstName,LastName,Email,Company,JobTitle,BusinessPhone,HomePhone,MobilePhone,FaxNumber,"
                 "Address,City,State,ZIP,Country,WebPage,Notes from Employees order by ID")),
             stored);
}

// A UTF-8 file with one byte of Windows-1252 is read as Windows-1252 as a whole; the preview
// reads it again as UTF-8 when asked, and that is what is imported.
void TestCsvImport::previewRereadsInAnotherEncoding() {
    Window w;
    writeFile(w.path("mixed.csv"), "First Name,Last Name\nZo\xC3\xAB,Brandt\nJ\xFCrgen,M\xC3\xBCller\n");
    QStringList seen;
    w.review.script = [&](ImportBatch& batch) {
        ImportPreviewDialog dialog(batch);
        auto* source = dialog.findChild<QLabel*>(QStringLiteral("Source"));
        auto* example = dialog.findChild<QTableWidget*>(QStringLiteral("Mapping"));
        seen << source->text() << example->item(0, 1)->text();
        dialog.findChild<QComboBox*>(QStringLiteral("Encoding"))->setCurrentText(QStringLiteral("UTF-8"));
        seen << source->text() << example->item(0, 1)->text()
             << dialog.findChild<QComboBox*>(QStringLiteral("Map0"))->currentText();
        return true;
    };
    w.messages.fileNext({w.path("mixed.csv")});
    w.trigger("actionImportContacts");
    QCOMPARE(seen, QStringList({"Rows of mixed.csv (read as Windows-1252, cells separated by commas) become contacts. "
                                "Choose what each column is imported as:",
                                QString::fromUtf8("Zo\xC3\x83\xC2\xAB"),
                                "Rows of mixed.csv (read as UTF-8, cells separated by commas) become contacts. "
                                "Choose what each column is imported as:",
                                QString::fromUtf8("Zo\xC3\xAB"), "First Name"}));
    QCOMPARE(
        TestEnvironment::rows(QStringLiteral("select FirstName,LastName from Employees order by ID")),
        QStringList({QString::fromUtf8("Zo\xC3\xAB|Brandt"), QString::fromUtf8("J\xEF\xBF\xBDrgen|M\xC3\xBCller")}));
}

// Column names that are not known: the preview opens with every column unmapped and lets the
// user say what the rows are and map the columns.
void TestCsvImport::previewOfUnknownColumnsLetsTheKindBeChosen() {
    Window w;
    writeFile(w.path("people.csv"), "Vorname,Nachname,Bemerkung\nAnn,Lee,x\n");
    QStringList seen;
    w.review.script = [&](ImportBatch& batch) {
        ImportPreviewDialog dialog(batch);
        auto* kind = dialog.findChild<QComboBox*>(QStringLiteral("Kind"));
        auto* name = dialog.findChild<QComboBox*>(QStringLiteral("Map2"));
        auto* missing = dialog.findChild<QComboBox*>(QStringLiteral("MissingValues"));
        seen << dialog.findChild<QLabel*>(QStringLiteral("Source"))->text() << kind->currentText()
             << name->currentText() << QString::number(kind->isEnabled())
             << QString::number(missing->isVisibleTo(&dialog));
        kind->setCurrentText(QStringLiteral("contacts"));
        seen << QString::number(missing->isVisibleTo(&dialog)); // contacts lack no dates
        dialog.findChild<QComboBox*>(QStringLiteral("Map0"))->setCurrentText(QStringLiteral("First Name"));
        dialog.findChild<QComboBox*>(QStringLiteral("Map1"))->setCurrentText(QStringLiteral("Last Name"));
        seen << dialog.findChild<QLabel*>(QStringLiteral("Summary"))->text();
        return true;
    };
    w.messages.fileNext({w.path("people.csv")});
    w.trigger("actionImportProjects");
    QCOMPARE(seen, QStringList({"The column names of people.csv (read as UTF-8, cells separated by commas) are not "
                                "known. Choose what its rows become and what each column is imported as:",
                                "projects", "(not imported)", "1", "1", "0", "1 contact will be added."}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select FirstName,LastName from Employees")), QStringList{"Ann|Lee"});
}

void TestCsvImport::projectsBringTheirContactsAndValues() {
    Window w;
    SampleData::load(QDate(2026, 3, 2));
    const int projects = count("Projects");
    // The project list as another copy of the program shows it: names, not IDs.
    writeFile(w.path("list.csv"), "Project ID,Project Name,Owner,Category,Priority,Status,Start,End,Budget,"
                                  "Budget in Days\r\n"
                                  "1,Moved,Nina Novak,Research,Urgent,Open,2026-05-01,2026-06-30,1500.5,10\r\n"
                                  "2,Bad date,Nina Novak,Research,Urgent,Open,31.02.2026,2026-06-30,1,1\r\n"
                                  "3,No owner,,Research,Urgent,Open,2026-05-01,2026-06-30,1,1\r\n"
                                  "4,Bad budget,Nina Novak,Research,Urgent,Open,2026-05-01,2026-06-30,\"1,5\",1\r\n");
    QStringList refused;
    w.review.script = [&](ImportBatch& batch) {
        for (const RefusedRow& r : batch.files().front().refused)
            refused << QStringLiteral("%1: %2").arg(r.line).arg(r.reason);
        return true;
    };
    w.messages.fileNext({w.path("list.csv")});
    w.trigger("actionImportProjects");
    QCOMPARE(refused, QStringList({"3: Start \"31.02.2026\" is not a date (write it like 2026-12-31)", "4: no owner",
                                   "5: Budget \"1,5\" is not a number (write it like 1234.5)"}));
    QCOMPARE(w.messages.notices(), QStringList{"Imported 1 project. Added along with them: 1 contact and 3 "
                                               "value-list entries."});
    QCOMPARE(count("Projects"), projects + 1);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName,OwnerName,Priority,StartDate,Budget from "
                                                  "[Open Projects] where ID>3")),
             QStringList{"Moved|Nina Novak|Urgent|2026-05-01|1500.5"});
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Status from Status union all select Category from "
                                                  "Categories union all select Priority from Priorities")),
             QStringList({"In process", "Cancelled", "Open", "New Category", "Main Category", "Research", "High", "Low",
                          "Urgent"}));
}

void TestCsvImport::listExportFollowsSortAndColumnOrder() {
    Window w;
    for (const char* statement :
         {"insert into Employees (FirstName,LastName) values ('Ann','Lee')",
          "insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,BudgetInDays,"
          "Budget) values ('=SUM(A1)',1,'2026-01-31','Open','Main','High','',"
          "'2026-12-31',9,900)",
          "insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,BudgetInDays,"
          "Budget) values ('Big',1,'2026-02-01','Open','Main','High','','2026-11-30',10,10000.5)"})
        TestEnvironment::exec(QLatin1String(statement));
    w.form.ListData();
    Form1::headerClick(w.form.ListView1, 9); // Budget: ascending, then descending
    Form1::headerClick(w.form.ListView1, 9);
    w.form.ListView1->header()->moveSection(8, 0);
    w.form.ListView1->header()->hideSection(9);
    const CsvTable table = CsvCommands::listAsShown(w.form.ListView1);
    QCOMPARE(table.header, QStringList({"Budget", "Project ID", "Project Name", "Owner", "Category", "Priority",
                                        "Status", "Start", "End"}));
    QCOMPARE(table.rows.size(), size_t(2));
    QCOMPARE(table.rows[0],
             QStringList({"10000.5", "2", "Big", "Ann Lee", "Main", "High", "Open", "2026-02-01", "2026-11-30"}));
    QCOMPARE(table.rows[1],
             QStringList({"900", "1", "'=SUM(A1)", "Ann Lee", "Main", "High", "Open", "2026-01-31", "2026-12-31"}));
    w.messages.fileNext({w.path("shown.csv")});
    w.trigger("actionExportProjectList");
    QVERIFY(fileBytes(w.path("shown.csv"))
                .startsWith("\xEF\xBB\xBF"
                            "Budget,Project ID,Project Name,Owner,Category,Priority,Status,Start,End\r\n"
                            "10000.5,2,Big,Ann Lee,Main,High,Open,2026-02-01,2026-11-30\r\n"));
}

void TestCsvImport::copyPutsTheSelectedRowOnTheClipboard() {
    Window w;
    SampleData::load(QDate(2026, 3, 2));
    w.form.ListData();
    w.form.ListTasks();
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    w.form.activateWindow();
    w.form.ListView2->setFocus();
    const QString id = Form1::selectedCell(w.form.ListView2, 0);
    QTest::keyClick(w.form.ListView2, Qt::Key_C, Qt::ControlModifier);
    const QStringList cells = QGuiApplication::clipboard()->text().split(QLatin1Char('\t'));
    QCOMPARE(cells.size(), 10);
    QCOMPARE(cells[0], id);
    QCOMPARE(cells[3], QStringLiteral("2026-03-02")); // the start date, as ISO text
    QCOMPARE(QGuiApplication::clipboard()->text(), CsvCommands::selectedRow(w.form.ListView2).join(QLatin1Char('\t')));
    // A number is copied with every digit it holds.
    TestEnvironment::exec(QStringLiteral("update Projects set Budget=12345678901234.568"));
    w.form.ListData();
    QVERIFY(CsvCommands::selectedRow(w.form.ListView1).contains(QStringLiteral("12345678901234.568")));
}

QTEST_MAIN(TestCsvImport)
#include "tst_csv_import.moc"
