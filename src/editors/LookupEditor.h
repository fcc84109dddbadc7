// What the project editor and the task editor share: the drop-down lists of contacts,
// statuses, categories and priorities, their loaders, and the small "+", "*" and "-" buttons
// that maintain the lists from inside the editor. Each editor window keeps its own copy of the
// lists and of the contact IDs that go with the contact entries.
#pragma once

#include "EditorSql.h"

#include <QDialog>
#include <QList>
#include <QSet>

class QComboBox;
class QHBoxLayout;
class QPushButton;

class LookupEditor : public QDialog {
    Q_OBJECT
public:
    // The record being edited, as decimal text; empty to add one. Set before the window shows.
    QString m_ID;

    // The contact ID of each entry of Combo1, entry 0 first.
    const QList<qint64>& contactIDs() const { return m_ContactIDs; }

    void LoadContacts();
    void LoadStatus();
    void LoadCategories();
    void LoadPriorities();

    void PushButton5_Click();  // add a contact
    void PushButton9_Click();  // edit the selected contact
    void PushButton6_Click();  // delete the selected contact and the projects it owns
    void PushButton7_Click();  // add a status
    void PushButton8_Click();  // delete the selected status and its projects
    void PushButton11_Click(); // add a category
    void PushButton12_Click(); // delete the selected category and its projects
    void PushButton13_Click(); // add a priority
    void PushButton14_Click(); // delete the selected priority and its projects

    void setVisible(bool visible) override;

protected:
    LookupEditor(const QString& formName, bool withCategories, QWidget* parent);

    // Runs once, when the window is first shown, after the opener has set the properties.
    virtual void Form_Load() = 0;
    // The field that has the focus when the window opens.
    virtual QWidget* firstField() const = 0;

    // A drop-down with its buttons, for the editor's layout.
    QHBoxLayout* listRow(QComboBox* combo, std::initializer_list<QPushButton*> buttons) const;

    // Selects the entry of the contact with this ID; no entry when the contact is not listed.
    void selectContact(const QVariant& id);
    // Selects the first entry with this text; a text no longer in the list (deleted meanwhile)
    // is added as an entry of its own, so that the stored value shows and is kept.
    static void selectText(QComboBox* combo, const QString& text);
    // The ID of the selected contact; call only with an entry selected.
    qint64 selectedContactID() const;

    QComboBox* Combo1;
    QComboBox* Combo3;
    QComboBox* Combo4 = nullptr; // only in the project editor
    QComboBox* Combo5;
    QPushButton* PushButton5;
    QPushButton* PushButton9;
    QPushButton* PushButton6;
    QPushButton* PushButton7;
    QPushButton* PushButton8;
    QPushButton* PushButton11 = nullptr;
    QPushButton* PushButton12 = nullptr;
    QPushButton* PushButton13;
    QPushButton* PushButton14;

private:
    void loadList(EditorSql::ValueList list, QComboBox* combo, const QString& procedure);
    void addValue(EditorSql::ValueList list, const QString& procedure, const QString& title, const QString& prompt);
    void deleteValue(EditorSql::ValueList list, QComboBox* combo, const QString& procedure, const QString& warning);
    void reload(EditorSql::ValueList list);
    // Reads the lists of the changed tables again, keeping what the user has chosen.
    void refreshLists(const QSet<QString>& tables);
    QPushButton* smallButton(const QString& caption, const QString& name);

    QList<qint64> m_ContactIDs;
    bool m_loaded = false;
};
