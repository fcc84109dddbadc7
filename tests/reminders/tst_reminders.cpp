// Reminders on a session bus of the test's own (dbus-run-session), with a notification service
// that the test registers on it and that records what it was sent: when a task reminds, that it
// reminds once for the same due moment, snoozes, what is overdue at start, whose tasks remind, and
// that a notification's action opens the task's editor. The test's clock stands for now.
#include "app/DataStore.h"
#include "app/SqlText.h"
#include "app/widgets/RowSelection.h"
#include "editors/EditorTestUtil.h"
#include "editors/Form5.h"
#include "main_window/Form1.h"
#include "reminders/ReminderStore.h"
#include "reminders/widgets/ReminderDialogs.h"
#include "reminders/widgets/ReminderService.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimeEdit>
#include <QtTest>

#include <memory>

using namespace Reminders;
using EditorTest::child;

namespace {

const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");
const QString notificationsInterface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

// The desktop's notification service, as the test's own: it answers on its own connection to the
// bus, records every notification with the moment (the test's clock) it arrived, and acts for the
// user by emitting the signals a desktop emits.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notification {
        uint id;
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        QDateTime at;
    };
    std::vector<Notification> received;
    std::vector<uint> closedByProgram;

    explicit FakeNotifications(const QDBusConnection& bus)
        : m_bus(bus) {
        if (!m_bus.registerObject(notificationsPath, this, QDBusConnection::ExportAllSlots) ||
            !m_bus.registerService(notificationsInterface))
            qFatal("the test's notification service could not be registered: %s",
                   qPrintable(m_bus.lastError().message()));
    }

    // The user chose an action of a notification; the desktop then closes it.
    void invoke(uint id, const QString& action) {
        emitSignal(QStringLiteral("ActionInvoked"), {id, action});
        emitSignal(QStringLiteral("NotificationClosed"), {id, 2u});
    }
    int count() const { return static_cast<int>(received.size()); }
    QStringList summaries() const {
        QStringList list;
        for (const Notification& n : received)
            list << n.summary;
        return list;
    }

public slots:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int) {
        received.push_back({++m_lastId, appName, summary, body, actions, hints, ReminderService::now()});
        return m_lastId;
    }
    void CloseNotification(uint id) {
        closedByProgram.push_back(id);
        emitSignal(QStringLiteral("NotificationClosed"), {id, 3u});
    }
    QStringList GetCapabilities() {
        return {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
    }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("test notifications");
    }

private:
    void emitSignal(const QString& name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(notificationsPath, notificationsInterface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

    QDBusConnection m_bus;
    uint m_lastId = 0;
};

namespace {

// What the program sent has arrived: a call of the service made after the program's own calls
// is answered after them (twice, for sends that waited for the service's capabilities).
void settle() {
    for (int i = 0; i < 2; ++i) {
        QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
            notificationsInterface, notificationsPath, notificationsInterface, QStringLiteral("GetCapabilities")));
        QTRY_VERIFY_WITH_TIMEOUT(call.isFinished(), 60000);
    }
}

QDateTime at(const char* moment) {
    return QDateTime::fromString(QLatin1String(moment), QStringLiteral("yyyy-MM-dd HH:mm"));
}

// A database with the project "R&D" and its contacts Ann and Bob; the window is made on demand,
// as the program starts, at the test clock's moment.
struct Fixture {
    TestEnvironment env;
    ScriptedMessages messages;
    QDateTime now = at("2027-03-10 08:00");
    qint64 ann = 0, bob = 0, project = 0;
    std::unique_ptr<Form1> form;

    Fixture() {
        env.openDatabase();
        EditorTest::addValueLists();
        ann = EditorTest::addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
        bob = EditorTest::addContact(QStringLiteral("Bob"), QStringLiteral("Ray"));
        project = EditorTest::addProject(QStringLiteral("R&D"), ann);
        ReminderService::setClockForTesting([this] { return now; });
    }
    ~Fixture() {
        form.reset();
        ReminderService::setClockForTesting({});
    }
    qint64 addTask(const QString& title, const QString& due, qint64 assigned = 0, int percent = 0) {
        TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID, Title, AssignedTo, PercentComplete, "
                                             "DueDate) values (%1, %2, %3, %4, %5)")
                                  .arg(project)
                                  .arg(SqlText::quoted(title))
                                  .arg(assigned ? QString::number(assigned) : QStringLiteral("null"))
                                  .arg(percent)
                                  .arg(due.isEmpty() ? QStringLiteral("null") : SqlText::quoted(due)));
        return EditorTest::lastId(QStringLiteral("Tasks"));
    }
    // The program starts (again): its window loads the lists, which is when it first checks.
    void start() {
        form.reset();
        form = std::make_unique<Form1>();
        form->Form_Load();
        RowSelection::selectRow(form->ListView1, 0);
    }
    ReminderService& service() const { return *form->findChild<ReminderService*>(QStringLiteral("reminderService")); }
    // The clock moves on and the program checks, as its timer does.
    void checkAt(const QDateTime& moment) {
        now = moment;
        service().check();
        settle();
    }
    static ReminderStore record() {
        ReminderStore store;
        store.load(ReminderStore::identityOfSharedDatabase());
        return store;
    }
    static void setTask(qint64 task, const TaskSetting& setting) {
        ReminderStore store = record();
        store.setSetting(task, setting);
        store.save();
    }
};

// Waits for the program to open a modal window, tells what it is, and closes it.
QString nextModalWindow(const std::function<void()>& cause) {
    QString seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            auto* editor = qobject_cast<Form5*>(modal);
            seen =
                editor
                    ? QStringLiteral("%1 %2 of project %3").arg(modal->windowTitle(), editor->m_ID, editor->m_ProjectID)
                    : modal->objectName();
            modal->close();
        }
    });
    poll.start(20);
    cause();
    if (!QTest::qWaitFor([&] { return !seen.isEmpty(); }, 60000))
        return QStringLiteral("no modal window");
    return seen;
}

} // namespace

class TestReminders : public QObject {
    Q_OBJECT
    std::unique_ptr<FakeNotifications> m_desktop;

private slots:
    void initTestCase() {
        const QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("test-notifications"));
        if (!bus.isConnected())
            QFAIL("no session bus: the test runs under dbus-run-session (see tests/CMakeLists.txt)");
        m_desktop = std::make_unique<FakeNotifications>(bus);
    }
    void init() {
        m_desktop->received.clear();
        m_desktop->closedByProgram.clear();
    }

    // A task reminds once, at its lead time before its due moment: its own time of day or the
    // preferences' for tasks without one, its own lead or the preferences'.
    void remindsOnceAtItsLeadTime_data() {
        QTest::addColumn<QString>("ownTime");
        QTest::addColumn<int>("ownLead"); // -1: the preferences' (15 minutes)
        QTest::addColumn<QString>("due");
        QTest::addColumn<QDateTime>("quietAt");
        QTest::addColumn<QDateTime>("sentAt");
        QTest::addColumn<QString>("when");
        QTest::newRow("due at the start of work") << QString() << -1 << "2027-03-10" << at("2027-03-10 08:44")
                                                  << at("2027-03-10 08:45") << "Due in 15 minutes (today at 09:00)";
        QTest::newRow("a time of its own") << "14:05" << -1 << "2027-03-10" << at("2027-03-10 13:49")
                                           << at("2027-03-10 13:50") << "Due in 15 minutes (today at 14:05)";
        QTest::newRow("a lead of its own") << QString() << 60 << "2027-03-10" << at("2027-03-10 07:59")
                                           << at("2027-03-10 08:00") << "Due today at 09:00";
        QTest::newRow("no lead") << QString() << 0 << "2027-03-10" << at("2027-03-10 08:59") << at("2027-03-10 09:00")
                                 << "Due now";
        QTest::newRow("a day ahead") << "16:30" << 24 * 60 << "2027-03-11" << at("2027-03-10 16:29")
                                     << at("2027-03-10 16:30") << "Due tomorrow at 16:30";
        QTest::newRow("seen late, between lead and due")
            << QString() << -1 << "2027-03-10" << QDateTime() << at("2027-03-10 08:57")
            << "Due in 3 minutes (today at 09:00)";
    }
    void remindsOnceAtItsLeadTime() {
        QFETCH(QString, ownTime);
        QFETCH(int, ownLead);
        QFETCH(QString, due);
        QFETCH(QDateTime, quietAt);
        QFETCH(QDateTime, sentAt);
        QFETCH(QString, when);
        Fixture f;
        const qint64 task = f.addTask(QStringLiteral("Write <the> report"), due);
        TaskSetting setting;
        if (!ownTime.isEmpty())
            setting.time = QTime::fromString(ownTime, QStringLiteral("HH:mm"));
        if (ownLead >= 0)
            setting.minutesBefore = ownLead;
        Fixture::setTask(task, setting);
        f.now = quietAt.isValid() ? quietAt : sentAt;
        f.start();
        if (quietAt.isValid()) {
            settle();
            QCOMPARE(m_desktop->count(), 0);
            f.checkAt(sentAt);
        }
        QTRY_COMPARE(m_desktop->count(), 1);
        const FakeNotifications::Notification& sent = m_desktop->received.front();
        QCOMPARE(sent.at, sentAt);
        QCOMPARE(sent.appName, QStringLiteral("Fennick Planner"));
        QCOMPARE(sent.summary, QStringLiteral("Write <the> report"));     // a summary is plain text
        QCOMPARE(sent.body, when + QStringLiteral("\nProject: R&amp;D")); // the body is markup here
        QCOMPARE(sent.actions,
                 (QStringList{"default", "Open Task", "open", "Open Task", "snooze", "Snooze 10 Minutes"}));
        QCOMPARE(sent.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("org.tarnwick.FennickPlanner"));

        // Never twice for the same due moment: not on the next checks, nor after the program
        // started again.
        f.checkAt(sentAt.addSecs(60));
        f.checkAt(sentAt.addDays(2));
        f.start();
        settle();
        QCOMPARE(m_desktop->count(), 1);
    }

    // A record that cannot be saved (its place taken by a folder) sends nothing twice even so.
    void anUnsavedRecordSendsNothingTwice() {
        Fixture f;
        f.addTask(QStringLiteral("Call"), QStringLiteral("2027-03-10"));
        QVERIFY(QDir().mkpath(DataStore::dataFolder() + QStringLiteral("/reminders.json")));
        f.now = at("2027-03-10 08:50");
        f.start();
        QTRY_COMPARE(m_desktop->count(), 1);
        f.checkAt(at("2027-03-10 08:51"));
        f.checkAt(at("2027-03-10 09:30"));
        QCOMPARE(m_desktop->count(), 1);
    }

    // A due date or time changed after the reminder reminds again, for the new due moment.
    void aNewDueMomentRemindsAgain() {
        Fixture f;
        const qint64 task = f.addTask(QStringLiteral("Call"), QStringLiteral("2027-03-10"));
        f.now = at("2027-03-10 08:50");
        f.start();
        QTRY_COMPARE(m_desktop->count(), 1);
        TestEnvironment::exec(QStringLiteral("update Tasks set DueDate = '2027-03-12' where ID = %1").arg(task));
        f.checkAt(at("2027-03-12 08:44"));
        QCOMPARE(m_desktop->count(), 1);
        f.checkAt(at("2027-03-12 08:45"));
        QCOMPARE(m_desktop->count(), 2);
        Fixture::setTask(task, {QTime(11, 0), std::nullopt});
        f.checkAt(at("2027-03-12 10:45"));
        QCOMPARE(m_desktop->count(), 3);
        QCOMPARE(m_desktop->received.back().body,
                 QStringLiteral("Due in 15 minutes (today at 11:00)\nProject: R&amp;D"));
    }

    // At start, what fell due while the program was not running: each overdue task that was never
    // reminded of, complete tasks never; more than a few at once come as one summary.
    void overdueAtStart_data() {
        QTest::addColumn<int>("overdue");
        QTest::addColumn<QStringList>("summaries");
        QTest::addColumn<QString>("firstBody");
        QTest::newRow("one") << 1 << QStringList{"Overdue 1"} << "Overdue since yesterday at 09:00\nProject: R&amp;D";
        QTest::newRow("three") << 3 << QStringList{"Overdue 3", "Overdue 2", "Overdue 1"}
                               << "Overdue since 7 Mar 2027 at 09:00\nProject: R&amp;D";
        QTest::newRow("seven: one summary, the oldest first")
            << 7 << QStringList{"7 tasks are due or overdue"}
            << "Overdue 7 — Overdue since 3 Mar 2027 at 09:00\nOverdue 6 — Overdue since 4 Mar 2027 at "
               "09:00\n"
               "Overdue 5 — Overdue since 5 Mar 2027 at 09:00\nOverdue 4 — Overdue since 6 Mar 2027 at "
               "09:00\n"
               "Overdue 3 — Overdue since 7 Mar 2027 at 09:00\nand 2 more";
    }
    void overdueAtStart() {
        QFETCH(int, overdue);
        QFETCH(QStringList, summaries);
        QFETCH(QString, firstBody);
        Fixture f;
        for (int i = 1; i <= overdue; ++i)
            f.addTask(QStringLiteral("Overdue %1").arg(i), QDate(2027, 3, 10 - i).toString(Qt::ISODate));
        f.addTask(QStringLiteral("Complete"), QStringLiteral("2027-03-01"), 0, 100);
        const qint64 cancelled = f.addTask(QStringLiteral("Cancelled"), QStringLiteral("2027-03-02"));
        TestEnvironment::exec(QStringLiteral("update Tasks set Status='Cancelled' where ID=%1").arg(cancelled));
        f.addTask(QStringLiteral("Next week"), QStringLiteral("2027-03-17"));
        f.addTask(QStringLiteral("No due date"), QString());
        if (!TestEnvironment::isTeam()) // a team database holds only dates
            f.addTask(QStringLiteral("Not a date"), QStringLiteral("soon"));
        f.now = at("2027-03-10 12:00");
        f.start();
        settle();
        QCOMPARE(m_desktop->summaries(), summaries);
        QCOMPARE(m_desktop->received.front().body, firstBody);
        if (overdue > 3)
            QCOMPARE(m_desktop->received.front().actions, (QStringList{"default", "Show Fennick Planner"}));
        f.start();
        settle();
        QCOMPARE(m_desktop->count(), static_cast<int>(summaries.size()));
    }

    // Only the named contact's tasks remind; no contact named, or one deleted since: everyone's.
    void onlyTheNamedContactsTasksRemind_data() {
        QTest::addColumn<QString>("named");
        QTest::addColumn<QStringList>("reminded");
        QTest::newRow("no one named") << QString() << QStringList{"Ann's", "Bob's", "Nobody's"};
        QTest::newRow("Ann") << "Ann" << QStringList{"Ann's"};
        QTest::newRow("Bob, deleted since") << "Bob deleted" << QStringList{"Ann's", "Bob's", "Nobody's"};
    }
    void onlyTheNamedContactsTasksRemind() {
        QFETCH(QString, named);
        QFETCH(QStringList, reminded);
        Fixture f;
        f.addTask(QStringLiteral("Ann's"), QStringLiteral("2027-03-10"), f.ann);
        f.addTask(QStringLiteral("Bob's"), QStringLiteral("2027-03-10"), f.bob);
        f.addTask(QStringLiteral("Nobody's"), QStringLiteral("2027-03-10"));
        if (!named.isEmpty()) {
            ReminderStore store = Fixture::record();
            store.setContact(named.startsWith(QLatin1String("Ann")) ? f.ann : f.bob);
            store.save();
        }
        if (named.endsWith(QLatin1String("deleted")))
            TestEnvironment::exec(QStringLiteral("delete from Employees where ID = %1").arg(f.bob));
        f.now = at("2027-03-10 08:50");
        f.start();
        settle();
        QCOMPARE(m_desktop->summaries(), reminded);
    }

    // Snoozed, a reminder comes again once the snooze is over, and only then.
    void snoozeRemindsAgainAfterTheSnooze() {
        Fixture f;
        const qint64 task = f.addTask(QStringLiteral("Review"), QStringLiteral("2027-03-10"));
        f.now = at("2027-03-10 08:45");
        f.start();
        QTRY_COMPARE(m_desktop->count(), 1);
        f.now = at("2027-03-10 08:46");
        m_desktop->invoke(m_desktop->received.front().id, QStringLiteral("snooze"));
        QTRY_VERIFY(Fixture::record().sent(task)->snoozedUntil.isValid());
        QCOMPARE(Fixture::record().sent(task)->snoozedUntil, at("2027-03-10 08:56"));
        f.checkAt(at("2027-03-10 08:55"));
        QCOMPARE(m_desktop->count(), 1);
        f.checkAt(at("2027-03-10 08:56"));
        QCOMPARE(m_desktop->count(), 2);
        QCOMPARE(m_desktop->received.back().body,
                 QStringLiteral("Due in 4 minutes (today at 09:00)\nProject: R&amp;D"));
        f.checkAt(at("2027-03-10 09:30"));
        f.start();
        settle();
        QCOMPARE(m_desktop->count(), 2);
        QVERIFY(!Fixture::record().sent(task)->snoozedUntil.isValid());
    }

    // A notification's click or its Open Task opens the task's editor over the main window; a
    // task deleted meanwhile is said to be gone.
    void anActionOpensTheTask_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("Open Task") << "open";
        QTest::newRow("a click on the notification") << "default";
    }
    void anActionOpensTheTask() {
        QFETCH(QString, action);
        Fixture f;
        const qint64 task = f.addTask(QStringLiteral("Plan"), QStringLiteral("2027-03-10"));
        f.now = at("2027-03-10 08:45");
        f.start();
        QTRY_COMPARE(m_desktop->count(), 1);
        const uint id = m_desktop->received.front().id;
        QCOMPARE(nextModalWindow([&] { m_desktop->invoke(id, action); }),
                 QStringLiteral("Edit Tasks %1 of project %2").arg(task).arg(f.project));
        QVERIFY(f.messages.shown().empty());
        // Taken down, where a desktop would keep it on screen.
        settle();
        QCOMPARE(m_desktop->closedByProgram, std::vector<uint>{id});

        // Closed by the action, the notification opens nothing more.
        f.addTask(QStringLiteral("Gone"), QStringLiteral("2027-03-10"));
        f.checkAt(at("2027-03-10 08:46"));
        QCOMPARE(m_desktop->count(), 2);
        TestEnvironment::exec(QStringLiteral("delete from Tasks where Title = 'Gone'"));
        m_desktop->invoke(m_desktop->received.back().id, action);
        QTRY_COMPARE(f.messages.notices(), QStringList{"The task of this reminder no longer exists."});
        m_desktop->invoke(id, action);
        settle();
        QCOMPARE(f.messages.shown().size(), size_t(1));
        QVERIFY(!QApplication::activeModalWidget());
    }

    // A new user, a task due today: given a time five minutes from now in Edit → Task Reminder, it
    // reminds at once.
    void aTaskDueInFiveMinutesRemindsANewUser() {
        Fixture f;
        f.addTask(QStringLiteral("Stand-up"), QStringLiteral("2027-03-10"));
        f.now = at("2027-03-10 08:00");
        f.start();
        settle();
        QCOMPARE(m_desktop->count(), 0);
        RowSelection::selectRow(f.form->ListView2, 0);
        EditorTest::onNextModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TaskReminderDialog*>(modal);
            QVERIFY(dialog);
            QCOMPARE(child<QLabel>(dialog, "taskTitle")->text(), QStringLiteral("Stand-up"));
            QStringList texts;
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                texts << label->text();
            // A time without seconds, as in the notifications.
            QVERIFY2(texts.filter(QStringLiteral("it is due at 09:00 of its due date")).size() == 1,
                     qPrintable(texts.join(QLatin1Char('|'))));
            QVERIFY(!child<QTimeEdit>(dialog, "time")->isEnabled());
            child<QCheckBox>(dialog, "ownTime")->setChecked(true);
            child<QTimeEdit>(dialog, "time")->setTime(QTime(8, 5));
            dialog->accept();
        });
        f.form->findChild<QAction*>(QStringLiteral("actionTaskReminder"))->trigger();
        settle();
        QCOMPARE(m_desktop->summaries(), QStringList{"Stand-up"});
        QCOMPARE(m_desktop->received.front().body,
                 QStringLiteral("Due in 5 minutes (today at 08:05)\nProject: R&amp;D"));
    }

    // A desktop without a keyring (this bus has no secret service, running or to be started): the
    // calendar account's password is not said to go into one.
    void thePasswordIsSaidToBeKeptInASecretStoreOnlyWhereThereIsOne() {
        const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        const QString secrets = QStringLiteral("org.freedesktop.secrets");
        if (bus->isServiceRegistered(secrets) || bus->activatableServiceNames().value().contains(secrets))
            QSKIP("this session bus has a secret service");
        Fixture f;
        f.start();
        EditorTest::onNextModal([](QWidget* modal) {
            const QString placeholder = child<QLineEdit>(modal, "calendarPassword")->placeholderText();
            QVERIFY2(!placeholder.contains(QStringLiteral("secret store")), qPrintable(placeholder));
            qobject_cast<QDialog*>(modal)->reject();
        });
        f.form->findChild<QAction*>(QStringLiteral("actionCalendarAccounts"))->trigger();
    }

    // Edit → Reminder Settings keeps the choices; switched off, nothing is sent.
    void theSettingsAreKeptAndCanSwitchRemindersOff() {
        Fixture f;
        f.addTask(QStringLiteral("Ann's"), QStringLiteral("2027-03-11"), f.ann);
        f.addTask(QStringLiteral("Bob's"), QStringLiteral("2027-03-11"), f.bob);
        f.now = at("2027-03-10 08:00");
        f.start();
        QVERIFY(f.service().running());
        EditorTest::onNextModal([&f](QWidget* modal) {
            auto* dialog = qobject_cast<ReminderSettingsDialog*>(modal);
            QVERIFY(dialog);
            child<QSpinBox>(dialog, "minutesBefore")->setValue(30);
            child<QTimeEdit>(dialog, "dueTime")->setTime(QTime(10, 0));
            child<QSpinBox>(dialog, "snoozeMinutes")->setValue(1);
            // The unit follows the number.
            QCOMPARE(child<QSpinBox>(dialog, "snoozeMinutes")->text(), QStringLiteral("1 minute"));
            QCOMPARE(child<QSpinBox>(dialog, "minutesBefore")->text(), QStringLiteral("30 minutes"));
            auto* contact = child<QComboBox>(dialog, "contact");
            contact->setCurrentIndex(contact->findData(f.ann));
            dialog->accept();
        });
        f.form->findChild<QAction*>(QStringLiteral("actionReminderSettings"))->trigger();
        const Preferences kept = Preferences::read();
        QCOMPARE(kept.minutesBefore, 30);
        QCOMPARE(kept.dueTime, QTime(10, 0));
        QCOMPARE(kept.snoozeMinutes, 1);
        QCOMPARE(Fixture::record().contact(), std::optional<qint64>(f.ann));
        f.checkAt(at("2027-03-11 09:29"));
        QCOMPARE(m_desktop->count(), 0);
        f.checkAt(at("2027-03-11 09:30"));
        QCOMPARE(m_desktop->summaries(), QStringList{"Ann's"});
        QCOMPARE(m_desktop->received.front().actions.last(), QStringLiteral("Snooze 1 Minute"));

        EditorTest::onNextModal([](QWidget* modal) {
            child<QCheckBox>(modal, "remindersEnabled")->setChecked(false);
            qobject_cast<QDialog*>(modal)->accept();
        });
        f.form->findChild<QAction*>(QStringLiteral("actionReminderSettings"))->trigger();
        QVERIFY(!f.service().running());
        f.addTask(QStringLiteral("Ann's second"), QStringLiteral("2027-03-11"), f.ann);
        f.start();
        f.checkAt(at("2027-03-11 12:00"));
        QCOMPARE(m_desktop->count(), 1);
    }
};

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
