#include "PlanPreviewDialog.h"

#include "app/ValueText.h"
#include "app/widgets/Appearance.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString dateText(QDate date) {
    return date.isValid() ? shortDateText(date.toString(Qt::ISODate)) : QStringLiteral("(none)");
}

} // namespace

PlanPreviewDialog::PlanPreviewDialog(const PlanFiles::PlanFile& plan, const PlanImport::Preview& preview,
                                     QWidget* parent)
    : QDialog(parent)
    , m_name(new QLineEdit(plan.projectName, this))
    , m_owner(new QLineEdit(plan.owner, this)) {
    setObjectName(QStringLiteral("PlanPreview"));
    setWindowTitle(QStringLiteral("Import Plan"));
    Appearance::applyIcon(this);
    m_name->setObjectName(QStringLiteral("ProjectName"));
    m_owner->setObjectName(QStringLiteral("Owner"));
    m_owner->setPlaceholderText(QStringLiteral("(none)"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Project name:"), m_name);
    form->addRow(QStringLiteral("&Owner:"), m_owner);
    layout->addLayout(form);

    QStringList lines;
    lines << QStringLiteral("%1 file: %2 tasks (%3 summaries, %4 milestones), %5 links.")
                 .arg(plan.format)
                 .arg(preview.tasks)
                 .arg(preview.summaries)
                 .arg(preview.milestones)
                 .arg(preview.links);
    lines << QStringLiteral("Scheduled here from %1 to %2.").arg(dateText(preview.start), dateText(preview.finish));
    if (!preview.newContacts.isEmpty())
        lines << QStringLiteral("New contacts: %1.").arg(preview.newContacts.join(QStringLiteral(", ")));
    if (!preview.notKept.isEmpty())
        lines << QStringLiteral("Not kept:") << QStringLiteral("  - ") + preview.notKept.join(QStringLiteral("\n  - "));
    auto* summary = new QLabel(lines.join(QLatin1Char('\n')), this);
    summary->setObjectName(QStringLiteral("PreviewSummary"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary);

    if (preview.differences.isEmpty()) {
        layout->addWidget(new QLabel(QStringLiteral("Every task falls on the dates the file stores."), this));
    } else {
        layout->addWidget(new QLabel(QStringLiteral("%1 tasks are scheduled here on other dates than the file stores:")
                                         .arg(preview.differences.size()),
                                     this));
        auto* table = new QTableWidget(static_cast<int>(preview.differences.size()), 5, this);
        table->setObjectName(QStringLiteral("Differences"));
        table->setHorizontalHeaderLabels({QStringLiteral("Task"), QStringLiteral("File's start"),
                                          QStringLiteral("File's finish"), QStringLiteral("Start here"),
                                          QStringLiteral("Finish here")});
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->verticalHeader()->hide();
        for (int r = 0; r < table->rowCount(); ++r) {
            const PlanImport::Difference& d = preview.differences[r];
            const QString cells[] = {d.task, dateText(d.fileStart), dateText(d.fileFinish), dateText(d.start),
                                     dateText(d.finish)};
            for (int c = 0; c < 5; ++c)
                table->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
        table->resizeColumnsToContents();
        layout->addWidget(table, 1);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Import"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!m_name->text().trimmed().isEmpty())
            accept();
        else
            m_name->setFocus(Qt::OtherFocusReason);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, preview.differences.isEmpty() ? 320 : 520);
}

QString PlanPreviewDialog::projectName() const {
    return m_name->text().trimmed();
}

QString PlanPreviewDialog::owner() const {
    return m_owner->text().trimmed();
}
