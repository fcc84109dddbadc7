#include "TaskLinksDialog.h"

#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/widgets/Appearance.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const LinkKind kinds[] = {LinkKind::FinishToStart, LinkKind::StartToStart, LinkKind::FinishToFinish,
                          LinkKind::StartToFinish};

QString kindName(LinkKind kind) {
    switch (kind) {
    case LinkKind::StartToStart:
        return QStringLiteral("Start to start");
    case LinkKind::FinishToFinish:
        return QStringLiteral("Finish to finish");
    case LinkKind::StartToFinish:
        return QStringLiteral("Start to finish");
    case LinkKind::FinishToStart:
        break;
    }
    return QStringLiteral("Finish to start");
}

const QString windowName = QStringLiteral("TaskLinks");

} // namespace

TaskLinksDialog::TaskLinksDialog(qint64 projectId, qint64 taskId, QWidget* parent)
    : QDialog(parent)
    , m_projectId(projectId)
    , m_taskId(taskId) {
    setObjectName(QStringLiteral("TaskLinksDialog"));
    setWindowTitle(QStringLiteral("Task Links"));
    auto* layout = new QVBoxLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("LinkedTask"));
    layout->addWidget(m_title);
    buildSide(0, QStringLiteral("&Predecessors (this task waits for them)"));
    buildSide(1, QStringLiteral("&Successors (they wait for this task)"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    Appearance::applyIcon(this);
    resize(640, 520);
    ErrorTrap trap(windowName, QStringLiteral("LoadData"));
    trap.step(1, [this] { load(); });
}

void TaskLinksDialog::buildSide(int side, const QString& caption) {
    const QString which = side == 0 ? QStringLiteral("Predecessor") : QStringLiteral("Successor");
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 6, 0, 6);
    auto* label = new QLabel(caption, box);
    auto* table = new QTableWidget(0, 3, box);
    table->setObjectName(which + QStringLiteral("s"));
    label->setBuddy(table);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Task"), QStringLiteral("Kind"), QStringLiteral("Lag (working days)")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(0, 260);
    m_tables[side] = table;

    m_task[side] = new QComboBox(box);
    m_task[side]->setObjectName(which + QStringLiteral("Task"));
    m_task[side]->setAccessibleName(which);
    m_kind[side] = new QComboBox(box);
    m_kind[side]->setObjectName(which + QStringLiteral("Kind"));
    m_kind[side]->setAccessibleName(QStringLiteral("Kind of link"));
    for (LinkKind kind : kinds)
        m_kind[side]->addItem(kindName(kind), static_cast<int>(kind));
    m_lag[side] = new QSpinBox(box);
    m_lag[side]->setObjectName(which + QStringLiteral("Lag"));
    m_lag[side]->setAccessibleName(QStringLiteral("Lag in working days (negative: lead)"));
    m_lag[side]->setRange(-9999, 9999);
    m_add[side] = new QPushButton(QStringLiteral("Add or Change"), box);
    m_add[side]->setObjectName(which + QStringLiteral("Add"));
    m_remove[side] = new QPushButton(QStringLiteral("Remove"), box);
    m_remove[side]->setObjectName(which + QStringLiteral("Remove"));

    grid->addWidget(label, 0, 0, 1, 5);
    grid->addWidget(table, 1, 0, 1, 5);
    grid->addWidget(m_task[side], 2, 0);
    grid->addWidget(m_kind[side], 2, 1);
    grid->addWidget(m_lag[side], 2, 2);
    grid->addWidget(m_add[side], 2, 3);
    grid->addWidget(m_remove[side], 2, 4);
    grid->setColumnStretch(0, 1);
    layout()->addWidget(box);

    connect(m_add[side], &QPushButton::clicked, this, [this, side] { addOrChange(side); });
    connect(m_remove[side], &QPushButton::clicked, this, [this, side] { remove(side); });
    connect(table, &QTableWidget::itemSelectionChanged, this, [this, side] { rowChosen(side); });
}

void TaskLinksDialog::load() {
    Database& db = Database::shared();
    QString title;
    QList<std::pair<qint64, QString>> others;
    for (ResultSet rs =
             db.query(QStringLiteral("select ID, Title from Tasks where ProjectID=%1 order by ID").arg(m_projectId));
         !rs.eof(); rs.moveNext()) {
        const qint64 id = rs.value(0).toLongLong();
        if (id == m_taskId)
            title = rs.rawText(1);
        else
            others.append({id, rs.rawText(1)});
    }
    m_title->setText(QStringLiteral("Links of the task \"%1\":").arg(title));
    for (int side = 0; side < 2; ++side) {
        m_task[side]->clear();
        for (const auto& [id, name] : others)
            m_task[side]->addItem(QStringLiteral("%1 (%2)").arg(name).arg(id), id);
        m_tables[side]->setRowCount(0);
    }
    const PlanStore::StoredPlan stored = PlanStore::read(m_projectId);
    for (const PlanLink& link : stored.plan.links()) {
        const int side = link.successor == m_taskId ? 0 : link.predecessor == m_taskId ? 1 : -1;
        if (side < 0)
            continue;
        const qint64 other = side == 0 ? link.predecessor : link.successor;
        QTableWidget* table = m_tables[side];
        const int row = table->rowCount();
        table->insertRow(row);
        const int index = m_task[side]->findData(other);
        auto* task = new QTableWidgetItem(index >= 0 ? m_task[side]->itemText(index) : QString::number(other));
        task->setData(Qt::UserRole, other);
        table->setItem(row, 0, task);
        auto* kind = new QTableWidgetItem(kindName(link.kind));
        kind->setData(Qt::UserRole, static_cast<int>(link.kind));
        table->setItem(row, 1, kind);
        table->setItem(row, 2, new QTableWidgetItem(QString::number(link.lag)));
    }
    for (int side = 0; side < 2; ++side)
        m_remove[side]->setEnabled(m_tables[side]->rowCount() > 0);
}

void TaskLinksDialog::rowChosen(int side) {
    QTableWidget* table = m_tables[side];
    const int row = table->currentRow();
    if (row < 0 || !table->item(row, 0))
        return;
    m_task[side]->setCurrentIndex(m_task[side]->findData(table->item(row, 0)->data(Qt::UserRole)));
    m_kind[side]->setCurrentIndex(m_kind[side]->findData(table->item(row, 1)->data(Qt::UserRole)));
    m_lag[side]->setValue(table->item(row, 2)->text().toInt());
}

void TaskLinksDialog::apply(const std::function<PlanStore::Outcome()>& change) {
    ErrorTrap trap(windowName, QStringLiteral("Apply"));
    PlanStore::Outcome outcome;
    if (!trap.step(1, [&] { outcome = change(); }))
        return;
    switch (outcome.kind) {
    case PlanStore::Outcome::Kind::Loop:
        Messages::current().notice(
            QStringLiteral("This link would close a loop, so it was not made: %1.").arg(outcome.loopText));
        break;
    case PlanStore::Outcome::Kind::Changed:
        Messages::current().notice(QStringLiteral("Someone else changed tasks of this project meanwhile, so nothing "
                                                  "was changed. Please look at the links again and try once more."));
        break;
    case PlanStore::Outcome::Kind::Saved:
        m_changed = true;
        break;
    }
    trap.step(2, [this] { load(); });
}

void TaskLinksDialog::addOrChange(int side) {
    if (m_task[side]->currentIndex() < 0) {
        Messages::current().notice(QStringLiteral("There is no other task in this project to link to."));
        m_task[side]->setFocus(Qt::OtherFocusReason);
        return;
    }
    const qint64 other = m_task[side]->currentData().toLongLong();
    PlanLink link;
    link.predecessor = side == 0 ? other : m_taskId;
    link.successor = side == 0 ? m_taskId : other;
    link.kind = static_cast<LinkKind>(m_kind[side]->currentData().toInt());
    link.lag = m_lag[side]->value();
    apply([&] { return PlanStore::link(m_projectId, link); });
}

void TaskLinksDialog::remove(int side) {
    QTableWidget* table = m_tables[side];
    const int row = table->currentRow();
    if (row < 0 || !table->item(row, 0)) {
        Messages::current().notice(QStringLiteral("Choose the link to remove first."));
        table->setFocus(Qt::OtherFocusReason);
        return;
    }
    const qint64 other = table->item(row, 0)->data(Qt::UserRole).toLongLong();
    const qint64 predecessor = side == 0 ? other : m_taskId;
    const qint64 successor = side == 0 ? m_taskId : other;
    apply([&] { return PlanStore::unlink(m_projectId, predecessor, successor); });
}
