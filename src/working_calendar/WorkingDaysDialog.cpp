#include "WorkingDaysDialog.h"

#include "app/Database.h"
#include "app/DbError.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/SqlText.h"
#include "app/ValueText.h"
#include "app/widgets/Appearance.h"
#include "scheduling/PlanStore.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace WorkingCalendar {

Calendar read() {
    Calendar calendar;
    Database& db = Database::shared();
    for (ResultSet rs = db.query(QStringLiteral("select Weekday, Working from WorkingDays")); !rs.eof();
         rs.moveNext()) {
        const int day = static_cast<int>(rs.value(0).toLongLong());
        if (day >= 1 && day <= 7)
            calendar.working[day - 1] = isStoredTruth(rs.rawText(1));
    }
    for (ResultSet rs = db.query(QStringLiteral("select Day, Name from Holidays order by Day")); !rs.eof();
         rs.moveNext())
        calendar.holidays.append({QDate::fromString(rs.rawText(0).left(10), Qt::ISODate), rs.rawText(1)});
    return calendar;
}

void write(const Calendar& calendar) {
    Database& db = Database::shared();
    // The projects with links, and the length of each linked task in the working days it has now:
    // a task keeps its length in working days when the working days change, as lags do.
    QList<qint64> projects;
    for (ResultSet rs = db.query(QStringLiteral("select distinct t.ProjectID from TaskLinks l join Tasks t on t.ID = "
                                                "l.SuccessorID"));
         !rs.eof(); rs.moveNext())
        projects << rs.value(0).toLongLong();
    const WorkCalendar before = PlanStore::readCalendar();
    QHash<qint64, QHash<qint64, int>> lengths; // project -> linked task -> working days
    for (qint64 project : std::as_const(projects)) {
        const PlanStore::StoredPlan stored = PlanStore::read(project);
        QSet<qint64> linked;
        for (const PlanLink& link : stored.plan.links())
            linked << link.predecessor << link.successor;
        for (const PlanTask& task : stored.plan.tasks()) {
            if (linked.contains(task.id) && task.start.isValid() && task.finish.isValid())
                lengths[project].insert(task.id,
                                        task.milestone ? 0 : before.workingDaysBetween(task.start, task.finish));
        }
    }
    // The calendar and every linked task that follows it: all of it, or nothing.
    db.transaction([&] {
        for (int day = 1; day <= 7; ++day)
            // (1=1) is true on every kind of database, whether it keeps truth as a number or not.
            db.execute(QStringLiteral("update WorkingDays set Working=%1 where Weekday=%2")
                           .arg(calendar.working[day - 1] ? QStringLiteral("(1=1)") : QStringLiteral("(1=0)"))
                           .arg(day));
        db.execute(QStringLiteral("delete from Holidays"));
        for (const auto& [day, name] : calendar.holidays)
            db.execute(QStringLiteral("insert into Holidays (Day, Name) values (%1, %2)")
                           .arg(SqlText::quoted(SqlText::dateText(day)), SqlText::quoted(name)));
        const WorkCalendar after = PlanStore::readCalendar();
        for (qint64 project : std::as_const(projects)) {
            const QHash<qint64, int> kept = lengths.value(project);
            const PlanStore::Outcome outcome = PlanStore::change(project, [&](Plan& plan) {
                for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
                    const PlanTask* task = plan.task(it.key());
                    if (!task)
                        continue;
                    PlanTask resized = *task;
                    resized.start = after.addWorkingDays(task->start, 0);
                    resized.finish =
                        it.value() > 0 ? after.addWorkingDays(resized.start, it.value() - 1) : resized.start;
                    plan.addTask(resized);
                }
            });
            if (outcome.kind != PlanStore::Outcome::Kind::Saved)
                throw DbError(QStringLiteral("Linked tasks were changed by someone else meanwhile, so the working "
                                             "days were not saved. Please open them again and try once more."));
        }
    });
}

} // namespace WorkingCalendar

namespace {
const QString windowName = QStringLiteral("WorkingDays");
}

WorkingDaysDialog::WorkingDaysDialog(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("WorkingDaysDialog"));
    setWindowTitle(QStringLiteral("Working Days"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Worked on:"), this));
    auto* week = new QHBoxLayout;
    const QLocale locale;
    for (int day = 1; day <= 7; ++day) {
        m_weekday[day - 1] = new QCheckBox(locale.dayName(day, QLocale::LongFormat), this);
        m_weekday[day - 1]->setObjectName(QStringLiteral("Weekday%1").arg(day));
        week->addWidget(m_weekday[day - 1]);
    }
    layout->addLayout(week);

    auto* holidaysLabel = new QLabel(QStringLiteral("&Holidays (not worked):"), this);
    layout->addWidget(holidaysLabel);
    m_holidays = new QTableWidget(0, 2, this);
    m_holidays->setObjectName(QStringLiteral("Holidays"));
    holidaysLabel->setBuddy(m_holidays);
    m_holidays->setHorizontalHeaderLabels({QStringLiteral("Date"), QStringLiteral("Name")});
    m_holidays->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_holidays->setSelectionMode(QAbstractItemView::SingleSelection);
    m_holidays->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_holidays->verticalHeader()->hide();
    m_holidays->horizontalHeader()->setStretchLastSection(true);
    m_holidays->setColumnWidth(0, 140);
    layout->addWidget(m_holidays);

    auto* add = new QHBoxLayout;
    m_newDay = new QDateEdit(QDate::currentDate(), this);
    m_newDay->setObjectName(QStringLiteral("NewHoliday"));
    m_newDay->setCalendarPopup(true);
    m_newDay->setAccessibleName(QStringLiteral("Date of the holiday"));
    m_newName = new QLineEdit(this);
    m_newName->setObjectName(QStringLiteral("NewHolidayName"));
    m_newName->setPlaceholderText(QStringLiteral("Name (optional)"));
    m_newName->setAccessibleName(QStringLiteral("Name of the holiday"));
    auto* addButton = new QPushButton(QStringLiteral("&Add"), this);
    addButton->setObjectName(QStringLiteral("AddHoliday"));
    auto* removeButton = new QPushButton(QStringLiteral("&Remove"), this);
    removeButton->setObjectName(QStringLiteral("RemoveHoliday"));
    add->addWidget(m_newDay);
    add->addWidget(m_newName, 1);
    add->addWidget(addButton);
    add->addWidget(removeButton);
    layout->addLayout(add);
    connect(addButton, &QPushButton::clicked, this, &WorkingDaysDialog::addHoliday);
    connect(removeButton, &QPushButton::clicked, this, &WorkingDaysDialog::removeHoliday);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (save())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    Appearance::applyIcon(this);
    resize(640, 420);
    ErrorTrap trap(windowName, QStringLiteral("LoadData"));
    trap.step(1, [this] { load(); });
}

void WorkingDaysDialog::load() {
    const WorkingCalendar::Calendar calendar = WorkingCalendar::read();
    for (int day = 0; day < 7; ++day)
        m_weekday[day]->setChecked(calendar.working[day]);
    m_holidays->setRowCount(0);
    for (const auto& [day, name] : calendar.holidays) {
        const int row = m_holidays->rowCount();
        m_holidays->insertRow(row);
        auto* date = new QTableWidgetItem(QLocale().toString(day, QLocale::ShortFormat));
        date->setData(Qt::UserRole, day);
        m_holidays->setItem(row, 0, date);
        m_holidays->setItem(row, 1, new QTableWidgetItem(name));
    }
}

void WorkingDaysDialog::addHoliday() {
    const QDate day = m_newDay->date();
    for (int row = 0; row < m_holidays->rowCount(); ++row) {
        if (m_holidays->item(row, 0)->data(Qt::UserRole).toDate() == day) {
            Messages::current().notice(QStringLiteral("This date is a holiday already."));
            m_newDay->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    const int row = m_holidays->rowCount();
    m_holidays->insertRow(row);
    auto* date = new QTableWidgetItem(QLocale().toString(day, QLocale::ShortFormat));
    date->setData(Qt::UserRole, day);
    m_holidays->setItem(row, 0, date);
    m_holidays->setItem(row, 1, new QTableWidgetItem(m_newName->text().trimmed()));
    m_newName->clear();
}

void WorkingDaysDialog::removeHoliday() {
    const int row = m_holidays->currentRow();
    if (row >= 0)
        m_holidays->removeRow(row);
}

bool WorkingDaysDialog::save() {
    WorkingCalendar::Calendar calendar;
    for (int day = 0; day < 7; ++day)
        calendar.working[day] = m_weekday[day]->isChecked();
    if (std::none_of(std::begin(calendar.working), std::end(calendar.working), [](bool w) { return w; })) {
        Messages::current().notice(QStringLiteral("At least one weekday must be a working day."));
        m_weekday[0]->setFocus(Qt::OtherFocusReason);
        return false;
    }
    for (int row = 0; row < m_holidays->rowCount(); ++row)
        calendar.holidays.append(
            {m_holidays->item(row, 0)->data(Qt::UserRole).toDate(), m_holidays->item(row, 1)->text()});
    ErrorTrap trap(windowName, QStringLiteral("Save"));
    return trap.step(1, [&] { WorkingCalendar::write(calendar); });
}
