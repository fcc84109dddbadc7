#include "ImportPreviewDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

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
    m_pages.resize(files.size());
    for (size_t f = 0; f < files.size(); ++f) {
        ImportFile& file = files[f];
        Page& p = m_pages[f];
        auto* page = new QWidget(tabs);
        page->setObjectName(QStringLiteral("File%1").arg(f));
        auto* pageLayout = new QVBoxLayout(page);
        p.source = new QLabel(page);
        p.source->setObjectName(QStringLiteral("Source"));
        p.source->setWordWrap(true);
        pageLayout->addWidget(p.source);

        auto* reading = new QFormLayout;
        // The encoding is decided per file; a file read wrongly ("ZoÃ«") is read again in the
        // encoding the user picks.
        p.encoding = new QComboBox(page);
        p.encoding->setObjectName(QStringLiteral("Encoding"));
        p.encoding->addItems(Csv::encodings());
        p.encoding->setCurrentText(file.encoding);
        connect(p.encoding, &QComboBox::currentTextChanged, this, [this, f](const QString& encoding) {
            m_pages[f].readError = m_batch.reread(f, encoding);
            fillMapping(f);
            recheck();
        });
        reading->addRow(QStringLiteral("Text encoding:"), p.encoding);
        p.kind = new QComboBox(page);
        p.kind->setObjectName(QStringLiteral("Kind"));
        for (const ImportKind kind :
             {ImportKind::Projects, ImportKind::Tasks, ImportKind::Contacts, ImportKind::ValueLists})
            p.kind->addItem(ImportFields::rowsName(kind), static_cast<int>(kind));
        p.kind->setCurrentIndex(p.kind->findData(static_cast<int>(file.kind)));
        p.kind->setEnabled(!file.kindFixed);
        connect(p.kind, &QComboBox::currentIndexChanged, this, [this, f](int index) {
            m_batch.setKind(f, static_cast<ImportKind>(m_pages[f].kind->itemData(index).toInt()));
            fillMapping(f);
            recheck();
        });
        reading->addRow(QStringLiteral("Rows become:"), p.kind);
        pageLayout->addLayout(reading);

        p.mapping = new QTableWidget(0, 3, page);
        p.mapping->setObjectName(QStringLiteral("Mapping"));
        p.mapping->setHorizontalHeaderLabels(
            {QStringLiteral("Column in the file"), QStringLiteral("Example"), QStringLiteral("Imported as")});
        p.mapping->verticalHeader()->hide();
        p.mapping->setEditTriggers(QAbstractItemView::NoEditTriggers);
        p.mapping->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        pageLayout->addWidget(p.mapping, 3);

        pageLayout->addWidget(new QLabel(QStringLiteral("Rows that are refused or skipped:"), page));
        p.refused = new QListWidget(page);
        p.refused->setObjectName(QStringLiteral("Refused"));
        pageLayout->addWidget(p.refused, 1);
        p.duplicates = new QCheckBox(page);
        p.duplicates->setObjectName(QStringLiteral("IncludeDuplicates"));
        connect(p.duplicates, &QCheckBox::toggled, this, [this, f](bool on) {
            m_batch.files()[f].includeDuplicates = on;
            recheck();
        });
        pageLayout->addWidget(p.duplicates);
        pageLayout->addWidget(new QLabel(QStringLiteral("Rows imported with a change:"), page));
        p.notes = new QListWidget(page);
        p.notes->setObjectName(QStringLiteral("Notes"));
        pageLayout->addWidget(p.notes, 1);
        tabs->addTab(page, file.fileName());
        fillMapping(f);
    }

    // Asked once for the whole import: what a project or task without a date or an amount becomes.
    m_missingRow = new QFormLayout;
    m_missing = new QComboBox(this);
    m_missing->setObjectName(QStringLiteral("MissingValues"));
    m_missing->addItem(QStringLiteral("Refuse them"), static_cast<int>(ImportBatch::MissingValues::Refuse));
    m_missing->addItem(QStringLiteral("Fill them in: ") + m_batch.defaultsText(),
                       static_cast<int>(ImportBatch::MissingValues::FillDefaults));
    m_missing->setCurrentIndex(m_missing->findData(static_cast<int>(m_batch.missingValues)));
    connect(m_missing, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_batch.missingValues = static_cast<ImportBatch::MissingValues>(m_missing->itemData(index).toInt());
        recheck();
    });
    m_missingRow->addRow(QStringLiteral("Projects and tasks that lack a date or an amount:"), m_missing);
    layout->addLayout(m_missingRow);

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
    resize(760, 640);
    refresh();
}

void ImportPreviewDialog::fillMapping(size_t f) {
    ImportFile& file = m_batch.files()[f];
    QTableWidget* table = m_pages[f].mapping;
    // The boxes of the columns as they were go away later: they no longer answer to their names.
    for (int r = 0; r < table->rowCount(); ++r) {
        if (QWidget* old = table->cellWidget(r, 2))
            old->setObjectName(QString());
    }
    table->clearContents();
    table->setRowCount(static_cast<int>(file.table.header.size()));
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
        connect(combo, &QComboBox::currentIndexChanged, this, [this, f, c](int index) {
            m_batch.files()[f].setMapping(c, index - 1);
            recheck();
        });
        table->setCellWidget(c, 2, combo);
    }
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

void ImportPreviewDialog::recheck() {
    m_batch.check();
    refresh();
}

void ImportPreviewDialog::refresh() {
    const auto& files = m_batch.files();
    for (size_t f = 0; f < files.size() && f < m_pages.size(); ++f) {
        const ImportFile& file = files[f];
        Page& p = m_pages[f];
        // How the file was read: a file separated by semicolons or tabs is named as such, so that
        // a mapping that looks wrong can be traced to the separator.
        const QString separated = QStringLiteral("cells separated by %1").arg(Csv::separatorName(file.separator, true));
        const QString reading = file.encoding.isEmpty()
                                    ? QStringLiteral(" (%1)").arg(separated)
                                    : QStringLiteral(" (read as %1, %2)").arg(file.encoding, separated);
        QString source = file.kindRecognised
                             ? QStringLiteral("Rows of %1%2 become %3. Choose what each column is imported as:")
                                   .arg(file.fileName(), reading, ImportFields::rowsName(file.kind))
                             : QStringLiteral("The column names of %1%2 are not known. Choose what its rows become and "
                                              "what each column is imported as:")
                                   .arg(file.fileName(), reading);
        if (!p.readError.isEmpty())
            source += QStringLiteral("\nThe file could not be read in the encoding chosen: ") + p.readError;
        p.source->setText(source);

        p.refused->clear();
        p.notes->clear();
        for (const RefusedRow& row : file.refused)
            p.refused->addItem(QStringLiteral("Line %1: %2").arg(row.line).arg(row.reason));
        for (const RefusedRow& row : file.duplicates) {
            if (file.includeDuplicates)
                p.notes->addItem(QStringLiteral("Line %1: added although it has %2").arg(row.line).arg(row.reason));
            else
                p.refused->addItem(QStringLiteral("Line %1: skipped: %2").arg(row.line).arg(row.reason));
        }
        for (const RefusedRow& row : file.notes)
            p.notes->addItem(QStringLiteral("Line %1: %2").arg(row.line).arg(row.reason));
        const int duplicates = static_cast<int>(file.duplicates.size());
        p.duplicates->setText(
            duplicates == 1
                ? QStringLiteral("Import the row that matches a contact already there as well")
                : QStringLiteral("Import the %1 rows that match contacts already there as well").arg(duplicates));
        p.duplicates->setVisible(duplicates > 0 || file.includeDuplicates);
    }
    m_missingRow->setRowVisible(0, std::any_of(files.begin(), files.end(), [](const ImportFile& file) {
                                    return file.kind == ImportKind::Projects || file.kind == ImportKind::Tasks;
                                }));
    m_summary->setText(m_batch.summary());
    m_import->setEnabled(m_batch.rowsToAdd() > 0);
}

bool DialogImportReview::confirm(ImportBatch& batch) {
    QWidget* owner =
        QApplication::activeModalWidget() ? QApplication::activeModalWidget() : QApplication::activeWindow();
    ImportPreviewDialog dialog(batch, owner);
    return dialog.exec() == QDialog::Accepted;
}
