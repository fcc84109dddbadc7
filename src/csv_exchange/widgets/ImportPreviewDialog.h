// The preview of an import: per file, how its columns map to the fields of its table (a combo box
// per column to change it), which rows are refused and why, and how many rows will be added.
#pragma once

#include "csv_exchange/TableImport.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

class ImportPreviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportPreviewDialog(ImportBatch& batch, QWidget* parent = nullptr);

protected:
    // A wheel turned over a mapping box that the user has not picked scrolls the table instead of
    // changing the mapping behind the user's back.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    ImportBatch& m_batch;
    std::vector<QListWidget*> m_refused; // one per file
    QLabel* m_summary = nullptr;
    QPushButton* m_import = nullptr;
};

// The review that shows the dialog; installed by the main window's commands.
class DialogImportReview final : public ImportReview {
public:
    bool confirm(ImportBatch& batch) override;
};
