#include "Form2.h"

#include "EditorWidgets.h"
#include "FieldRules.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/NumericText.h"
#include "app/RecordGuard.h"
#include "app/widgets/Appearance.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

using namespace EditorWidgets;

Form2::Form2(QWidget* parent)
    : LookupEditor(QStringLiteral("Form2"), true, parent) {
    setWindowTitle(QStringLiteral("Add New"));
    setModal(true);

    Text1 = lineEdit(this, QStringLiteral("Text1"));
    Text2 = lineEdit(this, QStringLiteral("Text2"));
    Text2->setEnabled(false); // shows the ID; never takes the focus
    DateTimePicker1 = datePicker(this, QStringLiteral("DateTimePicker1"));
    DateTimePicker2 = datePicker(this, QStringLiteral("DateTimePicker2"));
    Text4 = lineEdit(this, QStringLiteral("Text4"), QStringLiteral("0"));
    Text5 = lineEdit(this, QStringLiteral("Text5"), QStringLiteral("0"));
    Text3 = notesEdit(this, QStringLiteral("Text3"));
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
    place(0, 0, label1, QStringLiteral("Name"), Text1);
    place(0, 1, label1, QStringLiteral("Project ID"), Text2);
    place(1, 0, details, QStringLiteral("Owner"), Combo1, listRow(Combo1, {PushButton5, PushButton9, PushButton6}));
    place(1, 1, label1, QStringLiteral("Start Date"), DateTimePicker1);
    place(2, 0, details, QStringLiteral("Category"), Combo4, listRow(Combo4, {PushButton11, PushButton12}));
    place(2, 1, label1, QStringLiteral("End Date"), DateTimePicker2);
    place(3, 0, details, QStringLiteral("Priority"), Combo5, listRow(Combo5, {PushButton13, PushButton14}));
    place(3, 1, label1, QStringLiteral("Budget"), Text4);
    place(4, 0, details, QStringLiteral("Status"), Combo3, listRow(Combo3, {PushButton7, PushButton8}));
    place(4, 1, label1, QStringLiteral("Budget in Days"), Text5);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PushButton2, 1);
    buttons->addWidget(PushButton1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(label(this, label1, QStringLiteral("Notes"), Text3));
    layout->addWidget(Text3, 1);
    layout->addLayout(buttons);

    QWidget* order[] = {
        Text1,  Combo1,       PushButton5,  PushButton9, PushButton6, Combo4,      PushButton11,    PushButton12,
        Combo5, PushButton13, PushButton14, Combo3,      PushButton7, PushButton8, DateTimePicker1, DateTimePicker2,
        Text4,  Text5,        Text3,        PushButton2, PushButton1, Text2};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
}

QWidget* Form2::firstField() const {
    return Text1;
}

void Form2::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("Form_Load"));
    trap.step(1, [&] { Appearance::applyDialogAppearance(this); });
    LoadContacts();
    LoadStatus();
    LoadCategories();
    LoadPriorities();
    trap.step(5, [&] { Combo1->setCurrentIndex(-1); });
    trap.step(6, [&] {
        DateTimePicker1->setDate(QDate::currentDate());
        DateTimePicker2->setDate(QDate::currentDate());
    });
    if (!m_ID.isEmpty()) {
        RecordGuard::watch(this, QStringLiteral("Projects"), m_ID, [this] { LoadData(); });
        LoadData();
    }
}

void Form2::LoadData() {
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("LoadData"));
    std::optional<ResultSet> rs;
    if (!trap.step(1, [&] { rs.emplace(Database::shared().query(EditorSql::projectQuery(m_ID))); }))
        return;
    if (rs->eof())
        return;
    // Each field is a step of its own: a field that cannot be shown keeps its default. A
    // missing value leaves its field empty, and the save asks for it as for a new project.
    auto pick = [&](QComboBox* combo, const QString& column) {
        const QVariant v = rs->value(column);
        if (v.isNull())
            combo->setCurrentIndex(-1);
        else
            selectText(combo, rs->text(column));
    };
    trap.step(2, [&] { Text2->setText(rs->text(QStringLiteral("ID"))); });
    trap.step(3, [&] { Text1->setText(rs->textOrEmpty(QStringLiteral("ProjectName"))); });
    // The owner is found by ID, not by name: two contacts may share a name, and a contact
    // that no longer exists leaves the owner unselected.
    trap.step(4, [&] { selectContact(rs->value(QStringLiteral("Owner"))); });
    trap.step(5, [&] { pick(Combo3, QStringLiteral("Status")); });
    trap.step(6, [&] { pick(Combo4, QStringLiteral("Category")); });
    trap.step(7, [&] { pick(Combo5, QStringLiteral("Priority")); });
    trap.step(8,
              [&] { showDate(DateTimePicker1, rs->value(QStringLiteral("startdate")), QStringLiteral("startdate")); });
    trap.step(9, [&] { showDate(DateTimePicker2, rs->value(QStringLiteral("enddate")), QStringLiteral("enddate")); });
    trap.step(10, [&] { Text3->setPlainText(rs->textOrEmpty(QStringLiteral("notes"))); });
    trap.step(11, [&] { Text4->setText(numberField(rs->value(QStringLiteral("budget")))); });
    trap.step(12, [&] { Text5->setText(numberField(rs->value(QStringLiteral("budgetindays")))); });
    trap.step(13, [&] { rs->close(); });
}

void Form2::PushButton2_Click() {
    const QDate start = pickedDate(DateTimePicker1);
    const QDate end = pickedDate(DateTimePicker2);
    if (!passes({
            {isBlank(Text1->text()), "You forgot to input Project Name.", Text1},
            {Combo1->currentIndex() < 0, "You forgot to select Owner.", Combo1},
            {Combo3->currentIndex() < 0, "You forgot to select Status.", Combo3},
            {Combo4->currentIndex() < 0, "You forgot to select Category.", Combo4},
            {Combo5->currentIndex() < 0, "You forgot to select Priority.", Combo5},
            {!start.isValid(), "You forgot to input Start Date.", DateTimePicker1},
            {!FieldRules::isPlausibleDate(start), "Start Date must be between 1900 and 2200.", DateTimePicker1},
            {!end.isValid(), "You forgot to input End Date.", DateTimePicker2},
            {!FieldRules::isPlausibleDate(end), "End Date must be between 1900 and 2200.", DateTimePicker2},
            {FieldRules::endsBeforeStart(start, end), "End Date cannot be before Start Date.", DateTimePicker2},
            {isBlank(Text4->text()), "You forgot to input Budget.", Text4},
            {!NumericText::isNumeric(Text4->text()), "Budget must be a numeric value.", Text4},
            {!FieldRules::isPlainNumber(Text4->text()), "Budget must be a plain decimal number.", Text4},
            {FieldRules::isNegative(Text4->text()), "Budget cannot be negative.", Text4},
            {isBlank(Text5->text()), "You forgot to input Budget in Days.", Text5},
            {!NumericText::isNumeric(Text5->text()), "Budget in Days must be a numeric value.", Text5},
            {!FieldRules::isPlainNumber(Text5->text()), "Budget in Days must be a plain decimal number.", Text5},
        }))
        return;

    EditorSql::ProjectValues v;
    v.name = Text1->text();
    v.owner = selectedContactID();
    v.startDate = start;
    v.status = Combo3->currentText();
    v.category = Combo4->currentText();
    v.priority = Combo5->currentText();
    v.notes = Text3->toPlainText();
    v.endDate = end;
    v.budgetInDays = NumericText::toSql(Text5->text());
    v.budget = NumericText::toSql(Text4->text());

    const bool editing = !m_ID.isEmpty();
    if (saveRecord(QStringLiteral("Form2"), editing ? 11 : 12, editing,
                   editing ? EditorSql::updateProject(v, m_ID) : EditorSql::insertProject(v), this))
        accept();
}

void Form2::PushButton1_Click() {
    reject();
}
