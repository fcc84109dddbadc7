// The history of one record, newest first, with a filter by field and by person, and "Restore
// this version" for one entry.
#pragma once

#include "app/History.h"

#include <QDialog>

class QComboBox;
class QPushButton;
class QTreeWidget;

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    HistoryWindow(const QString& table, qint64 recordId, const QString& name, QWidget* parent = nullptr);
    // Whether a version was restored (the caller refills what shows the record).
    bool restoredAnything() const { return m_restored; }
    // One entry as a line: "12/12/26 14:03, role editor_2: Due Date 12/9/26 → 12/16/26".
    static QString entryLine(const History::Entry& entry, const QString& field = {});

private:
    void reload();
    void fill();
    void restoreSelected();

    QString m_table;
    qint64 m_recordId = 0;
    QList<History::Entry> m_entries;
    QTreeWidget* m_list = nullptr;
    QComboBox* m_field = nullptr;
    QComboBox* m_person = nullptr;
    QPushButton* m_restore = nullptr;
    bool m_restored = false;
};
