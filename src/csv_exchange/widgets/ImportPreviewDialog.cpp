#include "ImportPreviewDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

ImportPreviewDialog::ImportPreviewDialog(ImportBatch& batch, QWidget* parent)
    : QDialog(parent)
    , m_batch(batch) {
    setObjectName(QStringLiteral("ImportPreview"));
    setWindowTitle(QStringLiteral("Import Preview"));
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("Files"));
    layout->addWidget(tabs);

    auto& files = m_batch.files();
    for (size_t f = 0; f < files.size(); ++f) {
        ImportFile& file = files[f];
        auto* page = new QWidget(tabs);
        page->setObjectName(QStringLiteral("File%1").arg(f));
        auto* pageLayout = new QVBoxLayout(page);
        // How the file was read: a file separated by semicolons or tabs is named as such, so that
        // a mapping that looks wrong can be traced to the separator.
        const QString separated = QStringLiteral("cells separated by %1").arg(Csv::separatorName(file.separator, true));
        const QString reading = file.encoding.isEmpty()
                                    ? QStringLiteral(" (%1)").arg(separated)
                                    : QStringLiteral(" (read as %1, %2)").arg(file.encoding, separated);
        auto* source = new QLabel(QStringLiteral("Rows of %1%2 become %3. Choose what each column is imported as:")
                                      .arg(file.fileName(), reading, ImportFields::rowsName(file.kind)),
                                  page);
        source->setObjectName(QStringLiteral("Source"));
        source->setWordWrap(true);
        pageLayout->addWidget(source);

        auto* table = new QTableWidget(static_cast<int>(file.table.header.size()), 3, page);
        table->setObjectName(QStringLiteral("Mapping"));
        table->setHorizontalHeaderLabels(
            {QStringLiteral("Column in the file"), QStringLiteral("Example"), QStringLiteral("Imported as")});
        table->verticalHeader()->hide();
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        const auto& fields = ImportFields::of(file.kind);
        for (int c = 0; c < file.table.header.size(); ++c) {
            table->setItem(c, 0, new QTableWidgetItem(file.table.header[c]));
            QString sample; // the first value that the column has
            for (const QStringList& row : file.table.rows) {
                if (!row.value(c).trimmed().isEmpty()) {
                    sample = row.value(c);
                    break;
                }
            }
            table->setItem(c, 1, new QTableWidgetItem(sample.left(80)));
            auto* combo = new QComboBox(table);
            combo->setObjectName(QStringLiteral("Map%1").arg(c));
            combo->addItem(QStringLiteral("(not imported)"));
            for (const ImportField& field : fields)
                combo->addItem(QLatin1String(field.label));
            combo->setCurrentIndex(file.mapping[static_cast<size_t>(c)] + 1);
            combo->setFocusPolicy(Qt::StrongFocus);
            combo->installEventFilter(this);
            connect(combo, &QComboBox::currentIndexChanged, this, [this, &file, c](int index) {
                file.setMapping(c, index - 1);
                m_batch.check();
                refresh();
            });
            table->setCellWidget(c, 2, combo);
        }
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        pageLayout->addWidget(table, 3);

        pageLayout->addWidget(new QLabel(QStringLiteral("Rows that are refused:"), page));
        auto* refused = new QListWidget(page);
        refused->setObjectName(QStringLiteral("Refused"));
        pageLayout->addWidget(refused, 1);
        m_refused.push_back(refused);
        tabs->addTab(page, file.fileName());
    }

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("Summary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_import = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("ImportButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 520);
    refresh();
}

bool ImportPreviewDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* combo = qobject_cast<QComboBox*>(watched);
    if (combo && event->type() == QEvent::Wheel && !combo->hasFocus()) {
        for (QWidget* w = combo->parentWidget(); w; w = w->parentWidget()) {
            if (auto* table = qobject_cast<QTableWidget*>(w)) {
                QCoreApplication::sendEvent(table->viewport(), event);
                break;
            }
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ImportPreviewDialog::refresh() {
    const auto& files = m_batch.files();
    for (size_t f = 0; f < files.size() && f < m_refused.size(); ++f) {
        m_refused[f]->clear();
        for (const RefusedRow& row : files[f].refused)
            m_refused[f]->addItem(QStringLiteral("Line %1: %2").arg(row.line).arg(row.reason));
    }
    m_summary->setText(m_batch.summary());
    m_import->setEnabled(m_batch.rowsToAdd() > 0);
}

bool DialogImportReview::confirm(ImportBatch& batch) {
    QWidget* owner =
        QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
    ImportPreviewDialog dialog(batch, owner);
    return dialog.exec() == QDialog::Accepted;
}
