#include "Form5.h"

#include "EditorWidgets.h"
#include "FieldRules.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/NumericText.h"
#include "app/RecordGuard.h"
#include "app/widgets/Appearance.h"
#include "scheduling/PlanStore.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

using namespace EditorWidgets;

namespace {
QString linkKindText(LinkKind kind) {
    switch (kind) {
    case LinkKind::StartToStart:
        return QStringLiteral("start to start");
    case LinkKind::FinishToFinish:
        return QStringLiteral("finish to finish");
    case LinkKind::StartToFinish:
        return QStringLiteral("start to finish");
    case LinkKind::FinishToStart:
        break;
    }
    return QStringLiteral("finish to start");
}
} // namespace

Form5::Form5(QWidget* parent)
    : LookupEditor(QStringLiteral("Form5"), false, parent) {
    setWindowTitle(QStringLiteral("Add New Tasks"));
    setModal(true);

    Text1 = lineEdit(this, QStringLiteral("Text1"));
    Text2 = lineEdit(this, QStringLiteral("Text2"));
    Text2->setReadOnly(true); // shows the ID; never read back
    DateTimePicker1 = datePicker(this, QStringLiteral("DateTimePicker1"));
    DateTimePicker2 = datePicker(this, QStringLiteral("DateTimePicker2"));
    Text4 = lineEdit(this, QStringLiteral("Text4"), QStringLiteral("0"));
    Text5 = lineEdit(this, QStringLiteral("Text5"), QStringLiteral("0"));
    Text6 = lineEdit(this, QStringLiteral("Text6"), QStringLiteral("0"));
    Text3 = notesEdit(this, QStringLiteral("Text3"));
    m_summaryNote = new QLabel(QStringLiteral("This is a summary task: its dates span those of its subtasks and "
                                              "follow them. Change the subtasks' dates to move it."),
                               this);
    m_summaryNote->setObjectName(QStringLiteral("lblSummaryDates"));
    m_summaryNote->setWordWrap(true);
    m_summaryNote->hide();
    PushButton2 = pushButton(this, QStringLiteral("PushButton2"), QStringLiteral("Save"));
    PushButton1 = pushButton(this, QStringLiteral("PushButton1"), QStringLiteral("Cancel"));
    PushButton2->setDefault(true);

    auto* grid = new QGridLayout;
    auto place = [&](int row, int column, const QString& labelName, const QString& caption, QWidget* field,
                     QLayout* fieldLayout = nullptr) {
        grid->addWidget(label(this, labelName, caption, field), row * 2, column);
        if (fieldLayout)
            grid->addLayout(fieldLayout, row * 2 + 1, column);
        else
            grid->addWidget(field, row * 2 + 1, column);
    };
    const QString label1 = QStringLiteral("Label1");
    const QString details = QStringLiteral("lblDetails");
    place(0, 0, label1, QStringLiteral("Title"), Text1);
    place(0, 1, label1, QStringLiteral("Task ID"), Text2);
    place(1, 0, details, QStringLiteral("Assigned To"), Combo1,
          listRow(Combo1, {PushButton5, PushButton9, PushButton6}));
    place(1, 1, label1, QStringLiteral("Start Date"), DateTimePicker1);
    place(2, 0, details, QStringLiteral("Status"), Combo3, listRow(Combo3, {PushButton7, PushButton8}));
    place(2, 1, label1, QStringLiteral("Due Date"), DateTimePicker2);
    place(3, 0, details, QStringLiteral("Priority"), Combo5, listRow(Combo5, {PushButton13, PushButton14}));
    place(3, 1, label1, QStringLiteral("Cost"), Text4);
    place(4, 0, label1, QStringLiteral("% Complete"), Text6);
    place(4, 1, label1, QStringLiteral("Cost in Days"), Text5);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PushButton2, 1);
    buttons->addWidget(PushButton1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_summaryNote);
    layout->addWidget(label(this, label1, QStringLiteral("Description"), Text3));
    layout->addWidget(Text3, 1);
    layout->addLayout(buttons);

    // The order of the fields in the record: lists with their buttons, dates, numbers, text.
    QWidget* order[] = {Text1,        Combo1,          PushButton5,     PushButton9, PushButton6,
                        Combo3,       PushButton7,     PushButton8,     Combo5,      PushButton13,
                        PushButton14, DateTimePicker1, DateTimePicker2, Text4,       Text5,
                        Text6,        Text3,           PushButton2,     PushButton1, Text2};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(PushButton2, &QPushButton::clicked, this, &Form5::PushButton2_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form5::PushButton1_Click);
}

QWidget* Form5::firstField() const {
    return Text1;
}

void Form5::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form5"), QStringLiteral("Form_Load"));
    trap.step(1, [&] { Appearance::applyDialogAppearance(this); });
    LoadContacts();
    LoadStatus();
    LoadPriorities();
    trap.step(5, [&] { Combo1->setCurrentIndex(-1); });
    trap.step(6, [&] {
        DateTimePicker1->setDate(QDate::currentDate());
        DateTimePicker2->setDate(QDate::currentDate());
    });
    if (!m_ID.isEmpty()) {
        RecordGuard::watch(this, QStringLiteral("Tasks"), m_ID, [this] { LoadData(); });
        trap.step(7, [&] { LoadData(); });
    }
}

void Form5::LoadData() {
    loadPlanPlace();
    ResultSet rs = Database::shared().query(EditorSql::taskQuery(m_ID));
    if (rs.eof())
        return;
    // A missing value leaves its field empty; the save asks for it as for a new task.
    auto pick = [&](QComboBox* combo, const QString& column) {
        if (rs.isNull(column))
            combo->setCurrentIndex(-1);
        else
            selectText(combo, rs.text(column));
    };
    Text2->setText(rs.text(QStringLiteral("ID")));
    Text1->setText(rs.textOrEmpty(QStringLiteral("Title")));
    // The assignee is found by ID: two contacts may share a name, and a contact that no
    // longer exists leaves the field unselected.
    selectContact(rs.value(QStringLiteral("AssignedID")));
    pick(Combo3, QStringLiteral("Status"));
    pick(Combo5, QStringLiteral("Priority"));
    showDate(DateTimePicker1, rs.value(QStringLiteral("startdate")), QStringLiteral("startdate"));
    showDate(DateTimePicker2, rs.value(QStringLiteral("duedate")), QStringLiteral("duedate"));
    m_loadedStart = pickedDate(DateTimePicker1);
    m_loadedDue = pickedDate(DateTimePicker2);
    Text3->setPlainText(rs.textOrEmpty(QStringLiteral("description")));
    Text4->setText(numberField(rs.value(QStringLiteral("cost"))));
    Text5->setText(numberField(rs.value(QStringLiteral("costindays"))));
    Text6->setText(numberField(rs.value(QStringLiteral("percentcomplete"))));
    rs.close();
}

void Form5::PushButton2_Click() {
    const QDate start = pickedDate(DateTimePicker1);
    const QDate due = pickedDate(DateTimePicker2);
    const bool typed = !m_summary; // a summary's dates are written back as they were read
    if (!passes({
            {isBlank(Text1->text()), "You forgot to input Title.", Text1},
            {Combo1->currentIndex() < 0, "You forgot to select Assigned To.", Combo1},
            {Combo3->currentIndex() < 0, "You forgot to select Status.", Combo3},
            {Combo5->currentIndex() < 0, "You forgot to select Priority.", Combo5},
            {typed && !start.isValid(), "You forgot to input Start Date.", DateTimePicker1},
            {typed && !FieldRules::isPlausibleDate(start), "Start Date must be between 1900 and 2200.",
             DateTimePicker1},
            {typed && !due.isValid(), "You forgot to input Due Date.", DateTimePicker2},
            {typed && !FieldRules::isPlausibleDate(due), "Due Date must be between 1900 and 2200.", DateTimePicker2},
            {typed && FieldRules::endsBeforeStart(start, due), "Due Date cannot be before Start Date.",
             DateTimePicker2},
            {isBlank(Text4->text()), "You forgot to input Cost.", Text4},
            {!NumericText::isNumeric(Text4->text()), "Cost must be numeric value.", Text4},
            {!FieldRules::isPlainNumber(Text4->text()), "Cost must be a plain decimal number.", Text4},
            {FieldRules::isNegative(Text4->text()), "Cost cannot be negative.", Text4},
            {isBlank(Text5->text()), "You forgot to input Cost in Days.", Text5},
            {!NumericText::isNumeric(Text5->text()), "Cost in Days must be a numeric value.", Text5},
            {!FieldRules::isPlainNumber(Text5->text()), "Cost in Days must be a plain decimal number.", Text5},
            {isBlank(Text6->text()), "You forgot to input % Complete.", Text6},
            {!NumericText::isNumeric(Text6->text()), "% Complete must be numeric value.", Text6},
            {!FieldRules::isPlainNumber(Text6->text()), "% Complete must be a plain decimal number.", Text6},
            {FieldRules::isOutsidePercent(Text6->text()), "% Complete must be between 0 and 100.", Text6},
        }))
        return;

    EditorSql::TaskValues v;
    v.projectId = m_ProjectID;
    v.title = Text1->text();
    v.priority = Combo5->currentText();
    v.status = Combo3->currentText();
    v.cost = NumericText::toSql(Text4->text());
    v.costInDays = NumericText::toSql(Text5->text());
    v.percentComplete = NumericText::toSql(Text6->text());
    v.assignedTo = selectedContactID();
    v.description = Text3->toPlainText();
    v.startDate = start;
    v.dueDate = due;

    const bool editing = !m_ID.isEmpty();
    // Typed dates of a task in a plan move it there, with the tasks that follow it, in the save's
    // transaction. A task no link, parent or subtask ties saves as it always has.
    std::function<QString()> alongside;
    if (editing && m_planned && typed && (start != m_loadedStart || due != m_loadedDue)) {
        // A start earlier than a link allows is not taken silently: the user hears which link
        // holds the task and may remove it.
        std::optional<PlanLink> unlink;
        PlanStore::Hold hold;
        ErrorTrap trap(QStringLiteral("Form5"), QStringLiteral("PushButton2_Click"));
        if (!trap.step(14, [&] { hold = PlanStore::holdOf(m_ProjectID.toLongLong(), m_ID.toLongLong(), start, due); }))
            return;
        if (hold.held && !hold.predecessorTitle.isEmpty()) {
            const QString earliest = QLocale().toString(hold.earliest, QLocale::ShortFormat);
            if (Messages::current().ask(QStringLiteral("The link from \"%1\" (%2) holds this task: it cannot start "
                                                       "before %3.\n\nRemove that link and keep the dates you typed?\n"
                                                       "(No: the task starts on %3.)")
                                            .arg(hold.predecessorTitle, linkKindText(hold.link.kind), earliest)))
                unlink = hold.link;
        }
        alongside = [this, start, due, unlink] {
            if (unlink)
                PlanStore::deleteLink(unlink->predecessor, unlink->successor);
            return movePlan(start, due);
        };
    }
    if (saveRecord(
            QStringLiteral("Form5"), editing ? 12 : 13, editing,
            editing ? EditorSql::updateTask(v, m_ID) : EditorSql::insertTask(v), this,
            [this] { return projectGoneText(); }, alongside))
        accept();
}

void Form5::loadPlanPlace() {
    m_summary = false;
    m_planned = false;
    if (!m_ID.isEmpty() && PlanStore::available()) {
        ResultSet rs = Database::shared().query(EditorSql::taskPlanQuery(m_ID));
        if (!rs.eof()) {
            m_summary = rs.value(QStringLiteral("Children")).toLongLong() > 0;
            m_planned = !rs.isNull(QStringLiteral("ParentID")) || rs.value(QStringLiteral("Links")).toLongLong() > 0;
        }
    }
    for (QDateEdit* picker : {DateTimePicker1, DateTimePicker2}) {
        picker->setReadOnly(m_summary);
        picker->setToolTip(m_summary ? m_summaryNote->text() : QString());
    }
    m_summaryNote->setVisible(m_summary);
}

QString Form5::movePlan(const QDate& start, const QDate& due) const {
    const PlanStore::Outcome outcome = PlanStore::moveTask(m_ProjectID.toLongLong(), m_ID.toLongLong(), start, due);
    switch (outcome.kind) {
    case PlanStore::Outcome::Kind::Saved:
        break;
    case PlanStore::Outcome::Kind::Loop:
        return QStringLiteral("The links of this project's tasks form a loop, so these dates cannot be planned and "
                              "nothing was saved: %1.")
            .arg(outcome.loopText);
    case PlanStore::Outcome::Kind::Changed:
        return QStringLiteral("Someone else changed tasks of this project meanwhile, so nothing was saved. Please "
                              "look at the dates again and save once more.");
    }
    return {};
}

QString Form5::projectGoneText() const {
    // Deleting a status, priority or contact from inside this editor can take the task's own
    // project with it; a task without its project would be lost to every list.
    try {
        if (Database::shared().query(EditorSql::projectQuery(m_ProjectID)).eof())
            return QStringLiteral("The project of this task no longer exists: it may have been deleted while the "
                                  "window was open. Nothing was saved.");
    } catch (const DbError&) {
        // The project cannot be looked up: the save's own error is reported instead.
    }
    return {};
}

void Form5::PushButton1_Click() {
    reject();
}
