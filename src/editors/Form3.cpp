#include "Form3.h"

#include "ContactDuplicates.h"
#include "EditorSql.h"
#include "EditorWidgets.h"
#include "app/Database.h"
#include "app/DbError.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/RecordGuard.h"
#include "app/Twips.h"
#include "app/widgets/Appearance.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

using namespace EditorWidgets;

namespace {

struct Column {
    const char* header;
    int twips;
};

constexpr Column projectColumns[] = {{"Project Name", 2000}, {"Category", 1500}, {"Status", 1500},
                                     {"Start Date", 1200},   {"End Date", 1500}, {"Budget", 1200}};
constexpr Column taskColumns[] = {{"Title", 2000},      {"Assigned To", 1500}, {"Start Date", 1500},
                                  {"Due Date", 1200},   {"Priority", 1500},    {"Status", 1200},
                                  {"% Complete", 1200}, {"Cost", 1200},        {"Cost in Days", 1200}};

QTreeWidget* listView(QWidget* parent, const QString& name) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setFocusPolicy(Qt::NoFocus); // display only; the tab order runs through the fields
    return list;
}

template <size_t N> void addColumns(QTreeWidget* list, const Column (&columns)[N]) {
    QStringList headers;
    for (const Column& c : columns)
        headers << QString::fromLatin1(c.header);
    list->setHeaderLabels(headers);
    for (int i = 0; i < static_cast<int>(N); ++i)
        list->setColumnWidth(i, Twips::toPixels(columns[i].twips, list->logicalDpiX()));
}

// Adds a row and fills it cell by cell, so that a value that cannot be read leaves the cells
// before it in place.
void fillRow(QTreeWidget* list, const std::function<QString(int)>& cell, int count) {
    auto* item = new QTreeWidgetItem(list);
    for (int i = 0; i < count; ++i)
        item->setText(i, cell(i));
}

} // namespace

Form3::Form3(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Employees"));
    setModal(true);

    const char* const captions[] = {"First Name",     "Last Name",     "Job Title",    "Company",
                                    "Business Phone", "Home Phone",    "Mobile Phone", "Fax Number",
                                    "Address",        "City",          "State",        "Postal Code",
                                    "Country",        "Email Address", "Webpage",      "Notes"};
    QList<QLabel*> labels;
    for (int i = 0; i < 15; ++i)
        m_lines << lineEdit(this, QStringLiteral("Text%1").arg(i + 1));
    Text16 = notesEdit(this, QStringLiteral("Text16"));
    for (int i = 0; i < 16; ++i) {
        QWidget* buddy = i < 15 ? static_cast<QWidget*>(m_lines[i]) : Text16;
        labels << label(this, QStringLiteral("Label1"), QString::fromLatin1(captions[i]), buddy);
    }

    // Fields in two columns; Address across both; City, State, Postal Code and Country on one
    // row; Notes across both at the bottom.
    auto* fieldsGrid = new QGridLayout;
    int row = 0;
    auto pair = [&](int left, int right) {
        fieldsGrid->addWidget(labels[left], row, 0, 1, 2);
        fieldsGrid->addWidget(labels[right], row, 2, 1, 2);
        fieldsGrid->addWidget(m_lines[left], row + 1, 0, 1, 2);
        fieldsGrid->addWidget(m_lines[right], row + 1, 2, 1, 2);
        row += 2;
    };
    pair(0, 1);
    pair(2, 3);
    pair(4, 5);
    pair(6, 7);
    fieldsGrid->addWidget(labels[8], row, 0, 1, 4);
    fieldsGrid->addWidget(m_lines[8], row + 1, 0, 1, 4);
    row += 2;
    for (int i = 0; i < 4; ++i) {
        fieldsGrid->addWidget(labels[9 + i], row, i);
        fieldsGrid->addWidget(m_lines[9 + i], row + 1, i);
    }
    row += 2;
    pair(13, 14);
    fieldsGrid->addWidget(labels[15], row, 0, 1, 4);
    fieldsGrid->addWidget(Text16, row + 1, 0, 1, 4);
    fieldsGrid->setRowStretch(row + 1, 1);

    ListView1 = listView(this, QStringLiteral("ListView1"));
    ListView2 = listView(this, QStringLiteral("ListView2"));
    auto* frame1 = new QGroupBox(QStringLiteral("Projects"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    (new QVBoxLayout(frame1))->addWidget(ListView1);
    auto* frame2 = new QGroupBox(QStringLiteral("Tasks"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    (new QVBoxLayout(frame2))->addWidget(ListView2);

    PushButton2 = pushButton(this, QStringLiteral("PushButton2"), QStringLiteral("Save"));
    PushButton1 = pushButton(this, QStringLiteral("PushButton1"), QStringLiteral("Cancel"));
    PushButton2->setDefault(true);

    auto* left = new QVBoxLayout;
    left->addLayout(fieldsGrid, 1);
    left->addWidget(PushButton2);
    auto* right = new QVBoxLayout;
    right->addWidget(frame1, 1);
    right->addWidget(frame2, 1);
    right->addWidget(PushButton1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);

    QList<QWidget*> order(m_lines.begin(), m_lines.end());
    order << Text16 << PushButton2 << PushButton1;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
}

void Form3::setVisible(bool visible) {
    if (visible && !m_loaded) {
        m_loaded = true;
        Form_Load();
        m_lines.first()->setFocus(Qt::OtherFocusReason);
    }
    QDialog::setVisible(visible);
}

void Form3::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    trap.step(1, [&] { Appearance::applyDialogAppearance(this); });
    trap.step(4, [&] { addColumns(ListView1, projectColumns); });
    trap.step(5, [&] { addColumns(ListView2, taskColumns); });
    if (m_ID.isEmpty())
        return;
    RecordGuard::watch(this, QStringLiteral("Employees"), m_ID, [this] { LoadData(); });
    LoadData();
    trap.step(6, [&] { LoadProjects(); });
    trap.step(7, [&] { LoadTasks(); });
}

void Form3::LoadData() {
    ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("LoadData"));
    std::optional<ResultSet> rs;
    if (!trap.step(1, [&] { rs.emplace(Database::shared().query(EditorSql::contactQuery(m_ID))); }))
        return;
    if (rs->eof())
        return;
    const QStringList& columns = EditorSql::contactColumns();
    for (int i = 0; i < EditorSql::contactFieldCount; ++i) {
        trap.step(2, [&] {
            // Both names are required of a stored contact; the other fields may be absent.
            const QString value = i < 2 ? rs->text(columns[i]) : rs->textOrEmpty(columns[i]);
            if (i < 15)
                m_lines[i]->setText(value);
            else
                Text16->setPlainText(value);
        });
    }
    trap.step(3, [&] { rs->close(); });
}

void Form3::LoadProjects() {
    ListView1->clear();
    ResultSet rs = Database::shared().query(EditorSql::contactProjectsQuery(m_ID));
    static const QString fields[] = {QStringLiteral("ProjectName"), QStringLiteral("Category"),
                                     QStringLiteral("Status"),      QStringLiteral("StartDate"),
                                     QStringLiteral("EndDate"),     QStringLiteral("Budget")};
    while (!rs.eof()) {
        fillRow(
            ListView1, [&](int i) { return rs.text(fields[i]); }, 6);
        rs.moveNext();
    }
    rs.close();
}

void Form3::LoadTasks() {
    ListView2->clear();
    ResultSet rs = Database::shared().query(EditorSql::contactTasksQuery(m_ID));
    static const QString fields[] = {
        QStringLiteral("Title"),           QStringLiteral("AssignedTo"), QStringLiteral("StartDate"),
        QStringLiteral("DueDate"),         QStringLiteral("Priority"),   QStringLiteral("Status"),
        QStringLiteral("PercentComplete"), QStringLiteral("Cost"),       QStringLiteral("CostInDays")};
    while (!rs.eof()) {
        // A task without a status is shown with an empty cell.
        fillRow(
            ListView2, [&](int i) { return i == 5 ? rs.textOrEmpty(fields[i]) : rs.text(fields[i]); }, 9);
        rs.moveNext();
    }
    rs.close();
}

QStringList Form3::fields() const {
    QStringList values;
    for (QLineEdit* e : m_lines)
        values << e->text();
    values << Text16->toPlainText();
    return values;
}

void Form3::PushButton2_Click() {
    if (!passes({
            {isBlank(m_lines[0]->text()), "You forgot to input first name.", m_lines[0]},
            {isBlank(m_lines[1]->text()), "You forgot to input last name.", m_lines[1]},
        }))
        return;
    const bool editing = !m_ID.isEmpty();
    const QStringList values = fields();
    // An exact duplicate is saved only when the user says so. A look-up that fails (a text the
    // database cannot take) leaves the report to the save, which fails the same way.
    bool duplicate = false;
    try {
        duplicate = ContactDuplicates::exists(values, m_ID);
    } catch (const DbError&) {
    }
    if (duplicate && !Messages::current().ask(ContactDuplicates::question(values)))
        return;
    if (saveRecord(QStringLiteral("Form3"), editing ? 3 : 4, editing,
                   editing ? EditorSql::updateContact(values, m_ID) : EditorSql::insertContact(values), this))
        accept();
}

void Form3::PushButton1_Click() {
    reject();
}
