// The two dialogs of reminders: the preferences (Edit → Reminder Settings) and one task's own
// due time and lead (Edit → Task Reminder). Each shows values and gives back what was chosen; the
// caller saves.
#pragma once

#include "reminders/ReminderRules.h"

#include <QDialog>

#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QTimeEdit;

namespace Reminders {

class ReminderSettingsDialog : public QDialog {
    Q_OBJECT
public:
    ReminderSettingsDialog(const Preferences& preferences, std::optional<qint64> contact,
                           const std::vector<std::pair<qint64, QString>>& contacts, QWidget* parent);
    Preferences preferences() const;
    std::optional<qint64> contact() const;

private:
    QCheckBox* m_enabled;
    QSpinBox* m_minutesBefore;
    QTimeEdit* m_dueTime;
    QSpinBox* m_snooze;
    QComboBox* m_contact;
};

class TaskReminderDialog : public QDialog {
    Q_OBJECT
public:
    TaskReminderDialog(const QString& taskTitle, const TaskSetting& setting, const Preferences& preferences,
                       QWidget* parent);
    TaskSetting setting() const;

private:
    QCheckBox* m_ownTime;
    QTimeEdit* m_time;
    QCheckBox* m_ownLead;
    QSpinBox* m_minutesBefore;
};

} // namespace Reminders
