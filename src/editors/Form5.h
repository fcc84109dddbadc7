// The task editor: adds one task to a project or changes an existing task.
#pragma once

#include "LookupEditor.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class Form5 : public LookupEditor {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);

    // The project the task belongs to, as decimal text. Set before the window shows.
    QString m_ProjectID;

    // Reads the task into the fields; a field that cannot be shown ends the loading there.
    void LoadData();
    void PushButton2_Click(); // Save
    void PushButton1_Click(); // Cancel

protected:
    void Form_Load() override;
    QWidget* firstField() const override;

private:
    // The words for a refused save when the task's project is gone; empty otherwise.
    QString projectGoneText() const;
    // Reads where the task stands in its project's plan, and shows a summary's dates as not typed.
    void loadPlanPlace();
    // Moves the task to the typed dates in its project's plan, with every task that follows it;
    // runs in the save's transaction. The empty text, or why nothing may be saved.
    QString movePlan(const QDate& start, const QDate& due) const;

    // The task's place in a plan (a database with the planner's tables): a summary's dates span
    // its subtasks' and are not typed; a date typed for a linked task or a subtask goes through
    // the plan, which moves the tasks that follow it.
    bool m_summary = false;
    bool m_planned = false;
    QDate m_loadedStart; // the dates as read: only a changed date goes through the plan
    QDate m_loadedDue;
    QLabel* m_summaryNote;

    QLineEdit* Text1;
    QLineEdit* Text2;
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QLineEdit* Text6;
    QPlainTextEdit* Text3;
    QPushButton* PushButton2;
    QPushButton* PushButton1;
};
