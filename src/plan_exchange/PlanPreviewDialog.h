// What an import of a plan file will do, before anything is written: the counts, what is not
// kept and why, the new contacts, and where the planner's schedule differs from the file's dates;
// with the project's name and owner, which the user may change.
#pragma once

#include "plan_files/PlanImport.h"

#include <QDialog>

class QLineEdit;

class PlanPreviewDialog : public QDialog {
    Q_OBJECT
public:
    PlanPreviewDialog(const PlanFiles::PlanFile& plan, const PlanImport::Preview& preview, QWidget* parent = nullptr);

    QString projectName() const;
    QString owner() const;

private:
    QLineEdit* m_name;
    QLineEdit* m_owner;
};
