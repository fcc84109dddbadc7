// The contact editor: adds one contact or changes an existing one, and shows the projects
// the contact owns and the tasks assigned to it.
#pragma once

#include <QDialog>
#include <QList>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

class Form3 : public QDialog {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);

    // The contact being edited, as decimal text; empty to add one. Set before the window shows.
    QString m_ID;

    void LoadData();
    // Fill the two lists; a value that cannot be shown ends that list's filling there.
    void LoadProjects();
    void LoadTasks();
    void PushButton2_Click(); // Save
    void PushButton1_Click(); // Cancel

    void setVisible(bool visible) override;

private:
    void Form_Load();
    // The sixteen box texts, Text1 first.
    QStringList fields() const;

    QList<QLineEdit*> m_lines; // Text1 to Text15
    QPlainTextEdit* Text16;
    QTreeWidget* ListView1;
    QTreeWidget* ListView2;
    QPushButton* PushButton2;
    QPushButton* PushButton1;
    bool m_loaded = false;
};
