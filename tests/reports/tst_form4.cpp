// The report window: the list of reports, the query and design behind each, the preview, and
// what happens when the query fails.
#include "app/Database.h"
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
    QString design;
    QString title;
    QString caption;
    QPageLayout::Orientation orientation;
    QStringList printed; // every text of every page
    QStringList column;  // values of one column, row by row
};

class PreviewRecorder {
public:
    explicit PreviewRecorder(QString column = QStringLiteral("ID"))
        : m_column(std::move(column)) {
        Form4::setPreviewer([this](QWidget* owner, const Report& report) {
            QVERIFY(owner && owner->objectName() == QLatin1String("Form4"));
            Previewed p{
                report.design().name, report.design().title(), report.design().caption, report.orientation(), {}, {}};
            const ReportTable& rows = *report.dataSource();
            for (int r = 0; r < rows.rowCount(); ++r)
                p.column << rows.value(r, m_column).toString();
            RecordingSurface surface(QSizeF(15840, 12240));
            renderReport(report.design(), rows, surface);
            p.printed = surface.texts();
            shown.push_back(p);
        });
    }
    ~PreviewRecorder() { Form4::setPreviewer({}); }

    std::vector<Previewed> shown;

private:
    QString m_column;
};

QComboBox* combo(Form4& form) {
    return form.findChild<QComboBox*>(QStringLiteral("Combo1"));
}
QPushButton* button(Form4& form, const char* name) {
    return form.findChild<QPushButton*>(QString::fromLatin1(name));
}

void choose(Form4& form, const QString& listText) {
    QComboBox* c = combo(form);
    c->setCurrentIndex(c->findText(listText));
    QCOMPARE(c->currentText(), listText);
}

void addData() {
    TestEnvironment::exec(QStringLiteral("insert into Employees (ID,FirstName,LastName) values (1,'Zoe','Adams')"));
    TestEnvironment::exec(QStringLiteral("insert into Employees (ID,FirstName,LastName) values (2,'Al','Brown')"));
    TestEnvironment::exec(
        QStringLiteral("insert into Projects (ID,ProjectName,Owner,StartDate,Status,Category,Priority,EndDate) values "
                       "(1,'Kitchen',1,'2021-05-01','Open','Home','High','2021-06-30'),"
                       "(2,'Barn',2,'2021-02-01','Closed','Farm','Low','2021-12-24'),"
                       "(3,'Attic',1,'2021-09-15','Active','Art','Mid','2022-01-31')"));
}

} // namespace

class TestForm4 : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheFiveReportsAndNothingChosen();
    void eachChoiceShowsItsDesignUnderItsCaption_data();
    void eachChoiceShowsItsDesignUnderItsCaption();
    void noChoiceDoesNothing();
    void windowStaysOpenForAnotherPreviewAndCancelCloses();
    void taskReportListsTasksOfListedProjectsInOrder();
    void failingQueryShowsEachFailedStepAndGoesOn();
    void previewIsAModalLandscapePrintPreview();
};

void TestForm4::opensWithTheFiveReportsAndNothingChosen() {
    TestEnvironment env;
    Form4 form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Reports"));
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Report Type:"));
    QCOMPARE(button(form, "PushButton1")->text(), QStringLiteral("Print Preview"));
    QCOMPARE(button(form, "PushButton2")->text(), QStringLiteral("Cancel"));
    QStringList texts;
    for (int i = 0; i < combo(form)->count(); ++i)
        texts << combo(form)->itemText(i);
    QCOMPARE(texts, (QStringList{"Open Projects", "Projects by Categories", "Projects by Status", "Projects by Owner",
                                 "Project Tasks"}));
    QCOMPARE(combo(form)->currentIndex(), -1);
    QCOMPARE(combo(form)->currentText(), QString());
}

void TestForm4::eachChoiceShowsItsDesignUnderItsCaption_data() {
    QTest::addColumn<QString>("listText");
    QTest::addColumn<QString>("design");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("sortColumn");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("open") << "Open Projects"
                          << "rptOpenProjects"
                          << "Open Projects"
                          << "Open Issues"
                          << "ProjectName" << QStringList{"Attic", "Barn", "Kitchen"};
    QTest::newRow("category") << "Projects by Categories"
                              << "rptProjectsByCategory"
                              << "Projects By Category"
                              << "Issues By Category"
                              << "Category" << QStringList{"Art", "Farm", "Home"};
    QTest::newRow("status") << "Projects by Status"
                            << "rptProjectsByStatus"
                            << "Projects By Status"
                            << "Issues By Status"
                            << "Status" << QStringList{"Active", "Closed", "Open"};
    QTest::newRow("owner") << "Projects by Owner"
                           << "rptProjectsByAssigned"
                           << "Issues By Owner"
                           << "Issues By Assigned To"
                           << "OwnerName" << QStringList{"Al Brown", "Zoe Adams", "Zoe Adams"};
    QTest::newRow("tasks") << "Project Tasks"
                           << "rptIssueDetails"
                           << "Issues Details"
                           << "Issues Details"
                           << "TaskID" << QStringList{};
}

void TestForm4::eachChoiceShowsItsDesignUnderItsCaption() {
    QFETCH(QString, listText);
    QFETCH(QString, design);
    QFETCH(QString, title);
    QFETCH(QString, caption);
    QFETCH(QString, sortColumn);
    QFETCH(QStringList, sorted);
    TestEnvironment env;
    env.openDatabase();
    addData();
    ScriptedMessages messages;
    PreviewRecorder recorder(sortColumn);
    Form4 form;
    choose(form, listText);
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    QCOMPARE(messages.shown().size(), size_t(0));
    QCOMPARE(recorder.shown.size(), size_t(1));
    const Previewed& p = recorder.shown.front();
    QCOMPARE(p.design, design);
    QCOMPARE(p.title, title);
    QCOMPARE(p.caption, caption);
    QCOMPARE(p.orientation, QPageLayout::Landscape);
    QCOMPARE(p.printed.value(0), title);
    QCOMPARE(p.column, sorted);
    if (!sorted.isEmpty()) // the dates of the rows print as M/d/yyyy
        QVERIFY(p.printed.contains(QStringLiteral("12/24/2021")) && p.printed.contains(QStringLiteral("5/1/2021")));
}

void TestForm4::noChoiceDoesNothing() {
    TestEnvironment env;
    env.openDatabase();
    ScriptedMessages messages;
    PreviewRecorder recorder;
    Form4 form;
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    // A text that is not one of the list texts does nothing either.
    combo(form)->setEditable(true);
    combo(form)->setEditText(QStringLiteral("open projects"));
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    QCOMPARE(recorder.shown.size(), size_t(0));
    QCOMPARE(messages.shown().size(), size_t(0));
}

void TestForm4::windowStaysOpenForAnotherPreviewAndCancelCloses() {
    TestEnvironment env;
    env.openDatabase();
    addData();
    ScriptedMessages messages;
    PreviewRecorder recorder;
    Form4 form;
    form.show();
    choose(form, QStringLiteral("Projects by Owner"));
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    QVERIFY(form.isVisible());
    QCOMPARE(combo(form)->currentText(), QStringLiteral("Projects by Owner"));
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    choose(form, QStringLiteral("Open Projects"));
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    QCOMPARE(recorder.shown.size(), size_t(3));
    QCOMPARE(recorder.shown[1].caption, QStringLiteral("Issues By Assigned To"));
    QCOMPARE(recorder.shown[2].caption, QStringLiteral("Open Issues"));
    QTest::mouseClick(button(form, "PushButton2"), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(messages.shown().size(), size_t(0));
}

void TestForm4::taskReportListsTasksOfListedProjectsInOrder() {
    TestEnvironment env;
    env.openDatabase();
    addData();
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
    TestEnvironment::exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
    TestEnvironment::exec(QStringLiteral(
        "insert into Tasks (ID,ProjectID,Title,StartDate,DueDate) values (17,99,'Orphan','2020-01-01','2020-01-02')"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID,Title) values (18,'No project')"));
    TestEnvironment::exec(QStringLiteral("PRAGMA foreign_keys = ON"));

    ScriptedMessages messages;
    PreviewRecorder recorder(QStringLiteral("TaskID"));
    Form4 form;
    choose(form, QStringLiteral("Project Tasks"));
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    QCOMPARE(messages.shown().size(), size_t(0));
    QCOMPARE(recorder.shown.size(), size_t(1));
    // Project start date, then due date, priority, status and the task's start date.
    const QStringList order{"16", "12", "15", "14", "13", "10", "11"};
    QCOMPARE(recorder.shown.front().column, order);
    // The printed blocks follow the same order, each under its project line.
    const QStringList& printed = recorder.shown.front().printed;
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
    QVERIFY(printed.contains(QStringLiteral("2/3/2021")) && printed.contains(QStringLiteral("3/1/2021")));
}

void TestForm4::failingQueryShowsEachFailedStepAndGoesOn() {
    TestEnvironment env;
    env.openDatabase();
    addData();
    ScriptedMessages messages;
    PreviewRecorder recorder;
    Form4 form;
    form.show();
    choose(form, QStringLiteral("Open Projects"));
    Database::shared().close();
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    const QStringList errors = messages.errors();
    QCOMPARE(errors.size(), 3);
    QVERIFY(errors[0].contains(QLatin1String("in FennickPlanner2021/08/31.Form4.PushButton1_Click at line 2")));
    QVERIFY(errors[1].contains(QLatin1String("Form4.PushButton1_Click at line 4")));
    QVERIFY(errors[2].contains(QLatin1String("Form4.PushButton1_Click at line 6")));
    QCOMPARE(recorder.shown.size(), size_t(0));
    QVERIFY(form.isVisible());

    // Usable again once the data is back.
    messages.clear();
    env.openDatabase();
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    QCOMPARE(messages.shown().size(), size_t(0));
    QCOMPARE(recorder.shown.size(), size_t(1));
}

void TestForm4::previewIsAModalLandscapePrintPreview() {
    TestEnvironment env;
    env.openDatabase();
    addData();
    ScriptedMessages messages;
    Form4::setPreviewer({});
    Form4 form;
    form.show();
    choose(form, QStringLiteral("Projects by Owner"));
    QString title;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    bool modal = false;
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        title = preview->windowTitle();
        orientation = preview->printer()->pageLayout().orientation();
        modal = preview->isModal();
        owner = preview->parentWidget();
        preview->reject();
    });
    QTest::mouseClick(button(form, "PushButton1"), Qt::LeftButton);
    QCOMPARE(title, QStringLiteral("Issues By Assigned To"));
    QCOMPARE(orientation, QPageLayout::Landscape);
    QVERIFY(modal);
    QCOMPARE(owner, &form);
    QVERIFY(form.isVisible());
    QCOMPARE(messages.shown().size(), size_t(0));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"
