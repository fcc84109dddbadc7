// The report window: the list of reports, the query and design behind each, the preview, and
// what happens when the query fails.
#include "app/Database.h"
#include "app/ValueText.h"
#include "reports/Form4.h"
#include "reports/Report.h"
#include "reports/ReportDesigns.h"
#include "reports/ReportRenderer.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QtTest>

using namespace Reports;

namespace {

// What the window handed to its preview.
struct Previewed {
    QString design, title, caption;
    QPageLayout::Orientation orientation;
    QStringList printed; // every text of every page
    QStringList column;  // values of one column, row by row
};

// A report window over three projects of two owners; its previews are recorded, not shown.
struct ReportWindow {
    ReportWindow() {
        env.openDatabase();
        TestEnvironment::exec(QStringLiteral("insert into Employees (ID,FirstName,LastName) values "
                                             "(1,'Zoe','Adams'),(2,'Al','Brown')"));
        TestEnvironment::exec(
            QStringLiteral("insert into Projects (ID,ProjectName,Owner,StartDate,Status,Category,Priority,EndDate) "
                           "values (1,'Kitchen',1,'2021-05-01','Open','Home','High','2021-06-30'),"
                           "(2,'Barn',2,'2021-02-01','Closed','Farm','Low','2021-12-24'),"
                           "(3,'Attic',1,'2021-09-15','Active','Art','Mid','2022-01-31')"));
        Form4::setPreviewer([this](QWidget* owner, const Report& report) {
            QCOMPARE(owner, &form);
            const ReportDesign& d = report.design();
            Previewed p{d.name, d.title(), d.caption, report.orientation(), {}, {}};
            const ReportTable& rows = *report.dataSource();
            for (int r = 0; r < rows.rowCount(); ++r)
                p.column << rows.value(r, column).toString();
            RecordingSurface surface(QSizeF(15840, 12240));
            renderReport(d, rows, surface);
            p.printed = surface.texts();
            shown.push_back(p);
        });
    }
    ~ReportWindow() { Form4::setPreviewer({}); }

    QComboBox* combo() { return form.findChild<QComboBox*>(QStringLiteral("Combo1")); }
    QPushButton* button(const char* name) { return form.findChild<QPushButton*>(QLatin1String(name)); }
    void choose(const QString& listText) { combo()->setCurrentIndex(combo()->findText(listText)); }
    void preview() { QTest::mouseClick(button("PushButton1"), Qt::LeftButton); }

    TestEnvironment env;
    ScriptedMessages messages;
    Form4 form;
    QString column = QStringLiteral("ID");
    std::vector<Previewed> shown;
};

// Each list text, its design, title and preview caption, and one column of its rows in order.
struct Choice {
    QString listText, design, title, caption, column;
    QStringList sorted;
};
const Choice kChoices[] = {
    {"Open Projects", "rptOpenProjects", "Open Projects", "Open Issues", "ProjectName", {"Attic", "Barn", "Kitchen"}},
    {"Projects by Categories",
     "rptProjectsByCategory",
     "Projects By Category",
     "Issues By Category",
     "Category",
     {"Art", "Farm", "Home"}},
    {"Projects by Status",
     "rptProjectsByStatus",
     "Projects By Status",
     "Issues By Status",
     "Status",
     {"Active", "Closed", "Open"}},
    {"Projects by Owner",
     "rptProjectsByAssigned",
     "Issues By Owner",
     "Issues By Assigned To",
     "OwnerName",
     {"Al Brown", "Zoe Adams", "Zoe Adams"}},
    {"Project Tasks", "rptIssueDetails", "Issues Details", "Issues Details", "TaskID", {}},
};

} // namespace

class TestForm4 : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheFiveReportsAndNothingChosen();
    void eachChoiceShowsItsDesignUnderItsCaption_data();
    void eachChoiceShowsItsDesignUnderItsCaption();
    void missingValuesLeaveGaps_data() { eachChoiceShowsItsDesignUnderItsCaption_data(); }
    void missingValuesLeaveGaps();
    void noChoiceDoesNothing();
    void windowStaysOpenForAnotherPreviewAndCancelCloses();
    void taskReportListsTasksOfListedProjectsInOrder();
    void taskReportMarksMilestoneDates();
    void failingQueryShowsEachFailedStepAndGoesOn();
    void previewIsAModalLandscapePrintPreview();
};

void TestForm4::opensWithTheFiveReportsAndNothingChosen() {
    ReportWindow w;
    QCOMPARE(w.form.windowTitle(), QStringLiteral("Reports"));
    QCOMPARE(w.form.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Report Type:"));
    QCOMPARE(w.button("PushButton1")->text(), QStringLiteral("Print Preview"));
    QCOMPARE(w.button("PushButton2")->text(), QStringLiteral("Cancel"));
    QStringList texts;
    for (int i = 0; i < w.combo()->count(); ++i)
        texts << w.combo()->itemText(i);
    QCOMPARE(texts, (QStringList{"Open Projects", "Projects by Categories", "Projects by Status", "Projects by Owner",
                                 "Project Tasks"}));
    QCOMPARE(w.combo()->currentIndex(), -1);
    QCOMPARE(w.combo()->currentText(), QString());
}

void TestForm4::eachChoiceShowsItsDesignUnderItsCaption_data() {
    QTest::addColumn<int>("choice");
    for (int i = 0; i < 5; ++i)
        QTest::newRow(qPrintable(kChoices[i].design)) << i;
}

void TestForm4::eachChoiceShowsItsDesignUnderItsCaption() {
    QFETCH(int, choice);
    const Choice& c = kChoices[choice];
    ReportWindow w;
    w.column = c.column;
    w.choose(c.listText);
    w.preview();
    QCOMPARE(w.messages.shown().size(), size_t(0));
    QCOMPARE(w.shown.size(), size_t(1));
    const Previewed& p = w.shown.front();
    QCOMPARE(p.design, c.design);
    QCOMPARE(p.title, c.title);
    QCOMPARE(p.caption, c.caption);
    QCOMPARE(p.orientation, QPageLayout::Landscape);
    QCOMPARE(p.printed.value(0), c.title);
    QCOMPARE(p.column, c.sorted);
    if (!c.sorted.isEmpty()) // the dates of the rows print as every window shows them
        QVERIFY(p.printed.contains(shortDateText(QStringLiteral("2021-12-24"))) &&
                p.printed.contains(shortDateText(QStringLiteral("2021-05-01"))));
}

// A project and a task written without their values (by an import or another program) print
// with gaps where the values would be; no error box, and the other rows print as usual.
void TestForm4::missingValuesLeaveGaps() {
    QFETCH(int, choice);
    const Choice& c = kChoices[choice];
    ReportWindow w;
    TestEnvironment::exec(QStringLiteral("update Projects set Owner=null,StartDate=null,EndDate=null,Status=null,"
                                         "Category=null,Priority=null,Budget=null,BudgetInDays=null where ID=1"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID,ProjectID,Title) values (1,1,'Bare'),(2,2,null)"));
    w.column = QStringLiteral("ProjectName");
    w.choose(c.listText);
    w.preview();
    QVERIFY2(w.messages.shown().empty(), qPrintable(w.messages.errors().join('\n')));
    QCOMPARE(w.shown.size(), size_t(1));
    const QStringList& printed = w.shown.front().printed;
    QVERIFY2(printed.contains(QStringLiteral("Kitchen")), qPrintable(printed.join('|')));
    QVERIFY(printed.contains(QStringLiteral("Barn")));
    // The rows with their values still print them (the task report prints no project end).
    if (!c.sorted.isEmpty())
        QVERIFY(printed.contains(shortDateText(QStringLiteral("2021-12-24"))));
}

void TestForm4::noChoiceDoesNothing() {
    ReportWindow w;
    w.preview();
    // A text that is not one of the list texts does nothing either.
    w.combo()->setEditable(true);
    w.combo()->setEditText(QStringLiteral("open projects"));
    w.preview();
    QCOMPARE(w.shown.size(), size_t(0));
    QCOMPARE(w.messages.shown().size(), size_t(0));
}

void TestForm4::windowStaysOpenForAnotherPreviewAndCancelCloses() {
    ReportWindow w;
    w.form.show();
    w.choose(QStringLiteral("Projects by Owner"));
    w.preview();
    QVERIFY(w.form.isVisible());
    QCOMPARE(w.combo()->currentText(), QStringLiteral("Projects by Owner"));
    w.preview();
    w.choose(QStringLiteral("Open Projects"));
    w.preview();
    QCOMPARE(w.shown.size(), size_t(3));
    QCOMPARE(w.shown[1].caption, QStringLiteral("Issues By Assigned To"));
    QCOMPARE(w.shown[2].caption, QStringLiteral("Open Issues"));
    QTest::mouseClick(w.button("PushButton2"), Qt::LeftButton);
    QVERIFY(!w.form.isVisible());
    QCOMPARE(w.messages.shown().size(), size_t(0));
}

void TestForm4::taskReportListsTasksOfListedProjectsInOrder() {
    ReportWindow w;
    // Project start dates: Barn 2021-02-01, Kitchen 2021-05-01, Attic 2021-09-15.
    TestEnvironment::exec(QStringLiteral(
        "insert into Tasks (ID,ProjectID,Title,Priority,Status,AssignedTo,Description,StartDate,DueDate) values "
        "(10,1,'Tiles','B','Open',2,'Blue tiles','2021-05-02','2021-06-01'),"
        "(11,3,'Beams','A','Open',1,'','2021-09-16','2021-10-01'),"
        "(12,2,'Fence','A','Open',1,'Posts','2021-02-03','2021-03-01'),"
        "(13,1,'Sink','A','Open',2,'','2021-05-03','2021-06-01'),"
        "(14,1,'Paint','A','Done',2,'','2021-05-04','2021-06-01'),"
        "(15,1,'Paint 2','A','Done',2,'','2021-05-01','2021-06-01'),"
        "(16,2,'Gate','A','Open',1,'','2021-02-03','2021-02-15')"));
    // A task whose project is gone is not in the report.
    TestEnvironment::withoutForeignKeys([] {
        TestEnvironment::exec(
            QStringLiteral("insert into Tasks (ID,ProjectID,Title,StartDate,DueDate) values "
                           "(17,99,'Orphan','2020-01-01','2020-01-02'),(18,null,'No project',null,null)"));
    });

    w.column = QStringLiteral("TaskID");
    w.choose(QStringLiteral("Project Tasks"));
    w.preview();
    QCOMPARE(w.messages.shown().size(), size_t(0));
    QCOMPARE(w.shown.size(), size_t(1));
    // Project start date, then due date, priority, status and the task's start date.
    const QStringList order{"16", "12", "15", "14", "13", "10", "11"};
    QCOMPARE(w.shown.front().column, order);
    // The printed blocks follow the same order, each under its project line.
    const QStringList& printed = w.shown.front().printed;
    QStringList issues;
    for (int i = 0; i + 1 < printed.size(); ++i)
        if (printed[i] == QLatin1String("Issue:"))
            issues << printed[i + 1];
    QCOMPARE(issues, order);
    const int fence = printed.indexOf(QStringLiteral("Fence"));
    QCOMPARE(printed.mid(fence - 5, 5),
             (QStringList{"Project:", "2", "Barn", "Issue:", "12"})); // ProjID and ProjectName above the task
    QCOMPARE(printed.mid(fence + 1, 4), (QStringList{"Assigned To:", "Zoe Adams", "Status:", "Open"}));
    QVERIFY(printed.contains(QStringLiteral("Al Brown"))); // the project's owner as "Opened By:"
    QVERIFY(printed.contains(shortDateText(QStringLiteral("2021-02-03"))) &&
            printed.contains(shortDateText(QStringLiteral("2021-03-01"))));
}

// A milestone's dates print as a milestone's: its one date, its due date, after the milestone mark.
void TestForm4::taskReportMarksMilestoneDates() {
    ReportWindow w;
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID,ProjectID,Title,StartDate,DueDate,Milestone) values "
                                         "(10,1,'Tiles','2021-05-02','2021-06-01',true)"));
    w.choose(QStringLiteral("Project Tasks"));
    w.preview();
    QVERIFY(w.messages.shown().empty());
    const QStringList& texts = w.shown.at(0).printed;
    const QString milestone = QStringLiteral("\u25C6 ") + shortDateText(QStringLiteral("2021-06-01"));
    QCOMPARE(texts.value(texts.indexOf("Opened Date:") + 1), milestone);
    QCOMPARE(texts.value(texts.indexOf("Due Date:") + 1), milestone);
}

void TestForm4::failingQueryShowsEachFailedStepAndGoesOn() {
    ReportWindow w;
    w.form.show();
    w.choose(QStringLiteral("Open Projects"));
    Database::shared().close();
    w.preview();
    const QStringList errors = w.messages.errors();
    QCOMPARE(errors.size(), 3);
    QVERIFY(errors[0].contains(QLatin1String("in FennickPlanner2021/08/31.Form4.PushButton1_Click at line 2")));
    QVERIFY(errors[1].contains(QLatin1String("Form4.PushButton1_Click at line 4")));
    QVERIFY(errors[2].contains(QLatin1String("Form4.PushButton1_Click at line 6")));
    QCOMPARE(w.shown.size(), size_t(0));
    QVERIFY(w.form.isVisible());

    // Usable again once the data is back.
    w.messages.clear();
    w.env.openDatabase();
    w.preview();
    QCOMPARE(w.messages.shown().size(), size_t(0));
    QCOMPARE(w.shown.size(), size_t(1));
}

void TestForm4::previewIsAModalLandscapePrintPreview() {
    ReportWindow w;
    Form4::setPreviewer({});
    w.form.show();
    w.choose(QStringLiteral("Projects by Owner"));
    QString title;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    bool modal = false;
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&] {
        if (auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            title = preview->windowTitle();
            orientation = preview->printer()->pageLayout().orientation();
            modal = preview->isModal();
            owner = preview->parentWidget();
            preview->reject();
        }
    });
    w.preview();
    QCOMPARE(title, QStringLiteral("Issues By Assigned To"));
    QCOMPARE(orientation, QPageLayout::Landscape);
    QVERIFY(modal);
    QCOMPARE(owner, &w.form);
    QVERIFY(w.form.isVisible());
    QCOMPARE(w.messages.shown().size(), size_t(0));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"
