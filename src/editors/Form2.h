// The project editor: adds one project or changes an existing one.
#pragma once

#include "LookupEditor.h"

class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class Form2 : public LookupEditor {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

    void LoadData();
    void PushButton2_Click(); // Save
    void PushButton1_Click(); // Cancel

protected:
    void Form_Load() override;
    QWidget* firstField() const override;

private:
    QLineEdit* Text1;
    QLineEdit* Text2;
    QDateEdit* DateTimePicker1;
    QDateEdit* DateTimePicker2;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QPlainTextEdit* Text3;
    QPushButton* PushButton2;
    QPushButton* PushButton1;
};
