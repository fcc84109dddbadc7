// The task editor: adds one task to a project or changes an existing task.
#pragma once

#include "LookupEditor.h"

class QDateEdit;
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
