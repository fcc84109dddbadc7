// The preview of an import: per file, how it was read (its encoding can be changed, which reads
// it again), what its rows become, how its columns map to the fields of its table (a combo box per
// column to change it), which rows are refused or skipped and why, and which are changed on the
// way in; for the whole import, what to do with rows that lack a required value, and how many rows
// will be added.
#pragma once

#include "csv_exchange/TableImport.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

class ImportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportPreviewDialog(ImportBatch& batch, QWidget* parent = nullptr);

protected:
    // A wheel turned over a mapping box that the user has not picked scrolls the table instead of
    // changing the mapping behind the user's back.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Page {
        QLabel* source = nullptr;
        QComboBox* encoding = nullptr;
        QComboBox* kind = nullptr;
        QTableWidget* mapping = nullptr;
        QListWidget* refused = nullptr;
        QListWidget* notes = nullptr;
        QCheckBox* duplicates = nullptr;
        QString readError; // why the last change of encoding could not be read
    };
    void fillMapping(size_t file);
    void recheck();
    void refresh();

    ImportBatch& m_batch;
    std::vector<Page> m_pages;           // one per file
    QFormLayout* m_missingRow = nullptr; // shown while projects or tasks are imported
    QComboBox* m_missing = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_import = nullptr;
};

// The review that shows the dialog; installed by the main window's commands.
class DialogImportReview final : public ImportReview {
public:
    bool confirm(ImportBatch& batch) override;
};
