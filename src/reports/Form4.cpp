#include "Form4.h"

#include "Report.h"
#include "ReportDesigns.h"
#include "ReportTable.h"
#include "app/ErrorTrap.h"
#include "app/Twips.h"
#include "app/widgets/Appearance.h"

#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>

#include <optional>

namespace {

Form4::Previewer& previewer() {
    static Form4::Previewer current;
    return current;
}

} // namespace

Form4::Form4(QWidget* parent)
    : QDialog(parent)
    , m_label1(new QLabel(QStringLiteral("Report Type:"), this))
    , m_combo1(new QComboBox(this))
    , m_pushButton1(new QPushButton(QStringLiteral("Print Preview"), this))
    , m_pushButton2(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Reports"));
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_pushButton1->setObjectName(QStringLiteral("PushButton1"));
    m_pushButton2->setObjectName(QStringLiteral("PushButton2"));
    m_pushButton1->setAutoDefault(false);
    m_pushButton2->setAutoDefault(false);

    // Positions in twips.
    const double dpi = logicalDpiX();
    auto place = [dpi](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(Twips::toPixels(left, dpi), Twips::toPixels(top, dpi), Twips::toPixels(width, dpi),
                       Twips::toPixels(height, dpi));
    };
    place(m_label1, 240, 240, 1440, 285);
    place(m_combo1, 1740, 200, 3120, 345);
    place(m_pushButton1, 1740, 840, 1500, 405);
    place(m_pushButton2, 3360, 840, 1500, 405);
    setFixedSize(Twips::toPixels(5100, dpi), Twips::toPixels(1500, dpi));

    connect(m_pushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
    connect(m_pushButton2, &QPushButton::clicked, this, &Form4::PushButton2_Click);
    Form_Load();
}

void Form4::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("Form_Load"));
    trap.step(1, [&] { Appearance::applyDialogAppearance(this); });
    trap.step(2, [&] {
        for (const Reports::ReportChoice& choice : Reports::reportChoices())
            m_combo1->addItem(choice.listText);
        m_combo1->setCurrentIndex(-1);
    });
}

void Form4::setPreviewer(Previewer previewer_) {
    previewer() = std::move(previewer_);
}

void Form4::PushButton1_Click() {
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton1_Click"));
    const Reports::ReportChoice* chosen = nullptr;
    trap.step(1, [&] {
        const QString text = m_combo1->currentText();
        for (const Reports::ReportChoice& choice : Reports::reportChoices()) {
            if (choice.listText == text) {
                chosen = &choice;
                break;
            }
        }
    });
    if (!chosen)
        return;

    // Each step is tried even when an earlier one failed; a failing step shows its own box.
    std::optional<Reports::ReportTable> rows;
    std::optional<Reports::Report> report;
    trap.step(2, [&] {
        rows = Reports::ReportTable::read(chosen->query, Reports::boundFieldNames());
        Reports::markMilestones(*rows);
    });
    trap.step(3, [&] { report.emplace(chosen->create()); });
    auto needReport = [&]() -> Reports::Report& {
        if (!report)
            throw DbError(QStringLiteral("Object variable or With block variable not set"));
        return *report;
    };
    trap.step(4, [&] { needReport().setDataSource(rows ? &*rows : nullptr); });
    trap.step(5, [&] { needReport().setOrientation(QPageLayout::Landscape); });
    trap.step(6, [&] {
        Reports::Report& r = needReport();
        if (!r.dataSource())
            throw DbError(QStringLiteral("The report has no data source."));
        if (previewer())
            previewer()(this, r);
        else
            showPrintPreview(this, r);
    });
    trap.step(7, [&] {
        report.reset();
        rows.reset();
    });
}

void Form4::PushButton2_Click() {
    ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton2_Click"));
    trap.step(1, [&] { close(); });
}

void Form4::showPrintPreview(QWidget* owner, const Reports::Report& report) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    report.check(printer); // sets the orientation; fails here rather than while painting
    QPrintPreviewDialog dialog(&printer, owner);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    dialog.setWindowTitle(report.design().caption);
    Appearance::applyIcon(&dialog);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&report](QPrinter* target) {
        // Painting runs inside the preview's event handling: failures are shown, never thrown.
        ErrorTrap trap(QStringLiteral("Form4"), QStringLiteral("PushButton1_Click"));
        trap.step(6, [&] {
            QPainter painter(target);
            report.paint(painter);
        });
    });
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
}
