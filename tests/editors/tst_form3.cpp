// The contact editor: its sixteen fields, the two read-only lists, validation and saving.
#include "EditorTestUtil.h"
#include "app/Database.h"
#include "app/Twips.h"
#include "editors/EditorSql.h"
#include "editors/Form3.h"
#include "editors/Openers.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace EditorTest;

namespace {


void setField(QWidget* form, int box, const QString& text) {
    const QString name = QStringLiteral("Text%1").arg(box);
    if (box == 16)
        form->findChild<QPlainTextEdit*>(name)->setPlainText(text);
    else
        form->findChild<QLineEdit*>(name)->setText(text);
}

QString field(QWidget* form, int box) {
    const QString name = QStringLiteral("Text%1").arg(box);
    if (box == 16)
        return form->findChild<QPlainTextEdit*>(name)->toPlainText();
    return form->findChild<QLineEdit*>(name)->text();
}

QString contactColumnsQuery() {
    return QStringLiteral("select ") + EditorSql::contactColumns().join(QLatin1Char(',')) +
           QStringLiteral(" from Employees");
}

QStringList headers(QTreeWidget* list) {
    QStringList h;
    for (int i = 0; i < list->columnCount(); ++i)
        h << list->headerItem()->text(i);
    return h;
}

QStringList rowTexts(QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->topLevelItem(i)->text(c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class TestForm3 : public QObject {
    Q_OBJECT
private slots:
    void statementsNameEveryColumn();
    void addModeShowsEmptyFieldsAndHeaders();
    void validationChecksBothNames_data();
    void validationChecksBothNames();
    void newContactWithOnlyNamesGetsEmptyTexts();
    void everyFieldRoundTripsQuotesAndUnicode_data();
    void everyFieldRoundTripsQuotesAndUnicode();
    void editShowsTheContactsProjectsAndTasks();
    void missingNameIsReportedAndLoadingGoesOn();
    void nullInAListEndsThatListOnly();
    void cancelWritesNothing();
    void failedSaveKeepsEditorOpen();
    void saveOfDeletedContactSaysNothingWasSaved();
    void openerShowsTheEditorModally();
    void keyboardRunsThroughTheFieldsInNumberOrder();
};

void TestForm3::statementsNameEveryColumn() {
    QStringList fields;
    for (int i = 1; i <= 16; ++i)
        fields << QStringLiteral("v%1").arg(i);
    fields[13] = QStringLiteral("o'k");
    QCOMPARE(EditorSql::insertContact(fields),
             QStringLiteral("insert into Employees ([FirstName],[LastName],[Email],Company,[JobTitle],[BusinessPhone],"
                            "[HomePhone],[MobilePhone],[FaxNumber],Address,City,State,ZIP,Country,[WebPage],Notes) "
                            "values ('v1','v2','o''k','v4','v3','v5','v6','v7','v8','v9','v10','v11','v12','v13',"
                            "'v15','v16')"));
    QCOMPARE(EditorSql::updateContact(fields, QStringLiteral("9")),
             QStringLiteral("update Employees set [FirstName]='v1',[LastName]='v2',[Email]='o''k',Company='v4',"
                            "[JobTitle]='v3',[BusinessPhone]='v5',[HomePhone]='v6',[MobilePhone]='v7',"
                            "[FaxNumber]='v8',Address='v9',City='v10',State='v11',ZIP='v12',Country='v13',"
                            "[WebPage]='v15',Notes='v16' where ID=9"));
}

void TestForm3::addModeShowsEmptyFieldsAndHeaders() {
    Fixture f;
    Form3 form;
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Employees"));
    for (int box = 1; box <= 16; ++box)
        QVERIFY(field(&form, box).isEmpty());
    auto* projects = child<QTreeWidget>(&form, "ListView1");
    auto* tasks = child<QTreeWidget>(&form, "ListView2");
    QCOMPARE(headers(projects),
             QStringList({"Project Name", "Category", "Status", "Start Date", "End Date", "Budget"}));
    QCOMPARE(headers(tasks), QStringList({"Title", "Assigned To", "Start Date", "Due Date", "Priority", "Status",
                                          "% Complete", "Cost", "Cost in Days"}));
    QCOMPARE(projects->columnWidth(0), Twips::toPixels(2000, projects->logicalDpiX()));
    QCOMPARE(tasks->columnWidth(3), Twips::toPixels(1200, tasks->logicalDpiX()));
    QCOMPARE(projects->topLevelItemCount(), 0);
    QCOMPARE(tasks->topLevelItemCount(), 0);
    QCOMPARE(form.focusWidget()->objectName(), QStringLiteral("Text1"));
    QVERIFY(child<QPlainTextEdit>(&form, "Text16")->tabChangesFocus());
    QVERIFY(f.messages.shown().empty());
}

void TestForm3::validationChecksBothNames_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("both empty") << ""
                                << ""
                                << "You forgot to input first name."
                                << "Text1";
    QTest::newRow("first of spaces") << "   "
                                     << "Lee"
                                     << "You forgot to input first name."
                                     << "Text1";
    QTest::newRow("last empty") << "Ann"
                                << ""
                                << "You forgot to input last name."
                                << "Text2";
    QTest::newRow("last of spaces") << "Ann"
                                    << " "
                                    << "You forgot to input last name."
                                    << "Text2";
}

void TestForm3::validationChecksBothNames() {
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Fixture f;
    Form3 form;
    form.show();
    setField(&form, 1, first);
    setField(&form, 2, last);
    setField(&form, 14, QStringLiteral("not an address"));
    child<QPushButton>(&form, "PushButton2")->click();
    QCOMPARE(f.messages.notices(), QStringList{message});
    QCOMPARE(form.focusWidget()->objectName(), focus);
    QVERIFY(form.isVisible());
    QCOMPARE(count(QStringLiteral("select count(*) from Employees")), 0);
}

void TestForm3::newContactWithOnlyNamesGetsEmptyTexts() {
    Fixture f;
    Form3 form;
    form.show();
    setField(&form, 1, QStringLiteral(" Ann "));
    setField(&form, 2, QStringLiteral("Lee"));
    child<QPushButton>(&form, "PushButton2")->click();
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("Record Successfully Saved")});
    QVERIFY(!form.isVisible());
    QCOMPARE(TestEnvironment::rows(contactColumnsQuery()),
             QStringList{QStringLiteral(" Ann |Lee") + QString(14, QLatin1Char('|'))});
    QCOMPARE(count(QStringLiteral("select count(*) from Employees where Email is null or Notes is null")), 0);
}

void TestForm3::everyFieldRoundTripsQuotesAndUnicode_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("quote") << "don't call after six";
    QTest::newRow("unicode") << QStringLiteral("Ærø – Zürich ☎");
    QTest::newRow("long") << QString(QStringLiteral("'q")).repeated(5000);
}

void TestForm3::everyFieldRoundTripsQuotesAndUnicode() {
    QFETCH(QString, text);
    Fixture f;
    // Each box gets its own value, so a field saved into the wrong column shows.
    QStringList values;
    for (int box = 1; box <= 16; ++box)
        values << QString::number(box) + text;
    {
        Form3 form;
        form.show();
        for (int box = 1; box <= 16; ++box)
            setField(&form, box, values[box - 1]);
        child<QPushButton>(&form, "PushButton2")->click();
        QVERIFY(!form.isVisible());
    }
    QCOMPARE(TestEnvironment::rows(contactColumnsQuery()), QStringList{values.join(QLatin1Char('|'))});

    Form3 form;
    form.m_ID = QString::number(lastId("Employees"));
    form.show();
    for (int box = 1; box <= 16; ++box)
        QCOMPARE(field(&form, box), values[box - 1]);
    setField(&form, 4, QStringLiteral("Acme's"));
    values[3] = QStringLiteral("Acme's");
    child<QPushButton>(&form, "PushButton2")->click();
    QCOMPARE(f.messages.notices().last(), QStringLiteral("Record Successfully Updated"));
    QCOMPARE(TestEnvironment::rows(contactColumnsQuery()), QStringList{values.join(QLatin1Char('|'))});
}

void TestForm3::editShowsTheContactsProjectsAndTasks() {
    Fixture f;
    const qint64 ann = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    const qint64 bob = addContact(QStringLiteral("Bob"), QStringLiteral("Ray"));
    const qint64 p1 = addProject(QStringLiteral("One"), ann);
    addProject(QStringLiteral("Two"), ann, QStringLiteral("Closed"), QStringLiteral("Side"));
    addProject(QStringLiteral("Bob's"), bob);
    addTask(p1, QStringLiteral("t1"), ann);
    addTask(p1, QStringLiteral("t2"), ann);
    const qint64 t3 = addTask(p1, QStringLiteral("t3"), ann);
    addTask(p1, QStringLiteral("not Ann's"), bob);
    TestEnvironment::exec(QStringLiteral("update Tasks set Status=null where ID=%1").arg(t3));

    Form3 form;
    form.m_ID = QString::number(ann);
    form.show();
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(field(&form, 1), QStringLiteral("Ann"));
    QCOMPARE(field(&form, 2), QStringLiteral("Lee"));
    QCOMPARE(field(&form, 16), QString());
    const QString start = shortDateText(QStringLiteral("2021-08-31"));
    const QString end = shortDateText(QStringLiteral("2021-09-30"));
    QCOMPARE(rowTexts(child<QTreeWidget>(&form, "ListView1")),
             QStringList({QStringLiteral("One|Main|In process|%1|%2|1000").arg(start, end),
                          QStringLiteral("Two|Side|Closed|%1|%2|1000").arg(start, end)}));
    QCOMPARE(rowTexts(child<QTreeWidget>(&form, "ListView2")),
             QStringList({QStringLiteral("t1|Ann Lee|%1|%2|High|In process|50|10|2").arg(start, end),
                          QStringLiteral("t2|Ann Lee|%1|%2|High|In process|50|10|2").arg(start, end),
                          QStringLiteral("t3|Ann Lee|%1|%2|High||50|10|2").arg(start, end)}));
    QCOMPARE(form.windowTitle(), QStringLiteral("Employees"));
}

void TestForm3::missingNameIsReportedAndLoadingGoesOn() {
    Fixture f;
    const qint64 id = addContact(QString(), QStringLiteral("Lee"), QStringLiteral("Boss"));
    Form3 form;
    form.m_ID = QString::number(id);
    form.show();
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains(QStringLiteral("Form3.LoadData at line 2")));
    QCOMPARE(field(&form, 1), QString());
    QCOMPARE(field(&form, 2), QStringLiteral("Lee"));
    QCOMPARE(field(&form, 3), QStringLiteral("Boss"));
}

void TestForm3::nullInAListEndsThatListOnly() {
    Fixture f;
    const qint64 ann = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    const qint64 p1 = addProject(QStringLiteral("One"), ann);
    const qint64 p2 = addProject(QStringLiteral("Two"), ann);
    addProject(QStringLiteral("Three"), ann);
    TestEnvironment::exec(QStringLiteral("update Projects set Category=null where ID=%1").arg(p2));
    addTask(p1, QStringLiteral("t1"), ann);
    Form3 form;
    form.m_ID = QString::number(ann);
    form.show();
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains(QStringLiteral("Form3.Form_Load at line 6")));
    auto* projects = child<QTreeWidget>(&form, "ListView1");
    // The row before stays, and so does the failing row's first cell.
    QCOMPARE(projects->topLevelItemCount(), 2);
    QCOMPARE(projects->topLevelItem(1)->text(0), QStringLiteral("Two"));
    QCOMPARE(projects->topLevelItem(1)->text(1), QString());
    QCOMPARE(child<QTreeWidget>(&form, "ListView2")->topLevelItemCount(), 1);
}

void TestForm3::cancelWritesNothing() {
    Fixture f;
    const qint64 id = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    const QStringList before = TestEnvironment::rows(contactColumnsQuery());
    Form3 form;
    form.m_ID = QString::number(id);
    form.show();
    setField(&form, 1, QStringLiteral("Changed"));
    child<QPushButton>(&form, "PushButton1")->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(TestEnvironment::rows(contactColumnsQuery()), before);
    QVERIFY(f.messages.shown().empty());
}

void TestForm3::failedSaveKeepsEditorOpen() {
    Fixture f;
    TestEnvironment::exec(QStringLiteral(
        "create trigger refuse before insert on Employees begin select raise(abort, 'The disk is full.'); end"));
    Form3 form;
    form.show();
    setField(&form, 1, QStringLiteral("Ann"));
    setField(&form, 2, QStringLiteral("Lee"));
    setField(&form, 16, QStringLiteral("typed notes"));
    child<QPushButton>(&form, "PushButton2")->click();
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains(QStringLiteral("Form3.PushButton2_Click ")));
    QVERIFY(f.messages.notices().isEmpty());
    QVERIFY(form.isVisible());
    QCOMPARE(field(&form, 16), QStringLiteral("typed notes"));
}

void TestForm3::saveOfDeletedContactSaysNothingWasSaved() {
    Fixture f;
    const qint64 id = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    Form3 form;
    form.m_ID = QString::number(id);
    form.show();
    TestEnvironment::exec(QStringLiteral("delete from Employees"));
    child<QPushButton>(&form, "PushButton2")->click();
    QCOMPARE(f.messages.notices().size(), 1);
    QVERIFY(f.messages.notices()[0].contains(QStringLiteral("Nothing was saved")));
    QVERIFY(form.isVisible());
    QCOMPARE(count(QStringLiteral("select count(*) from Employees")), 0);
}

void TestForm3::openerShowsTheEditorModally() {
    Fixture f;
    const qint64 id = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    QString shown;
    bool modal = false;
    onNextModal([&](QWidget* w) {
        shown = field(w, 1);
        modal = w->isModal();
        child<QPushButton>(w, "PushButton1")->click();
    });
    Editors::openContactEditor(nullptr, QString::number(id));
    QCOMPARE(shown, QStringLiteral("Ann"));
    QVERIFY(modal);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestForm3::keyboardRunsThroughTheFieldsInNumberOrder() {
    Fixture f;
    Form3 form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QStringList expected;
    for (int box = 2; box <= 16; ++box)
        expected << QStringLiteral("Text%1").arg(box);
    expected << QStringLiteral("PushButton2") << QStringLiteral("PushButton1") << QStringLiteral("Text1");
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
    QCOMPARE(field(&form, 16), QString());
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
