#include "ReminderDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace Reminders {

namespace {
QSpinBox* minutesBox(const QString& name, int lowest, int highest, int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(lowest, highest);
    // The unit follows the number: "1 minute", "2 minutes".
    auto unit = [box](int minutes) {
        box->setSuffix(minutes == 1 ? QStringLiteral(" minute") : QStringLiteral(" minutes"));
    };
    QObject::connect(box, &QSpinBox::valueChanged, box, unit);
    box->setValue(value);
    unit(box->value());
    return box;
}

QTimeEdit* timeBox(const QString& name, const QTime& time, QWidget* parent) {
    auto* box = new QTimeEdit(time, parent);
    box->setObjectName(name);
    box->setDisplayFormat(QStringLiteral("HH:mm"));
    return box;
}

void addButtons(QDialog* dialog, QVBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("buttons"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
}
} // namespace

ReminderSettingsDialog::ReminderSettingsDialog(const Preferences& preferences, std::optional<qint64> contact,
                                               const std::vector<std::pair<qint64, QString>>& contacts, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Reminder Settings"));
    auto* layout = new QVBoxLayout(this);
    m_enabled = new QCheckBox(QStringLiteral("&Remind me of tasks as they fall due"), this);
    m_enabled->setObjectName(QStringLiteral("remindersEnabled"));
    m_enabled->setChecked(preferences.enabled);
    layout->addWidget(m_enabled);

    auto* form = new QFormLayout;
    m_minutesBefore = minutesBox(QStringLiteral("minutesBefore"), 0, 60 * 24 * 30, preferences.minutesBefore, this);
    form->addRow(QStringLiteral("Remind &before the due time:"), m_minutesBefore);
    m_dueTime = timeBox(QStringLiteral("dueTime"), preferences.dueTime, this);
    form->addRow(QStringLiteral("A task without a time of its own is &due at:"), m_dueTime);
    m_snooze = minutesBox(QStringLiteral("snoozeMinutes"), 1, 60 * 24, preferences.snoozeMinutes, this);
    form->addRow(QStringLiteral("&Snooze for:"), m_snooze);
    m_contact = new QComboBox(this);
    m_contact->setObjectName(QStringLiteral("contact"));
    m_contact->addItem(QStringLiteral("Everyone"), QVariant());
    for (const auto& [id, name] : contacts)
        m_contact->addItem(name, id);
    const int chosen = contact ? m_contact->findData(*contact) : 0;
    m_contact->setCurrentIndex(chosen < 0 ? 0 : chosen);
    form->addRow(QStringLiteral("Remind of the tasks &assigned to:"), m_contact);
    layout->addLayout(form);
    addButtons(this, layout);

    auto follow = [this] {
        for (QWidget* w : {static_cast<QWidget*>(m_minutesBefore), static_cast<QWidget*>(m_dueTime),
                           static_cast<QWidget*>(m_snooze), static_cast<QWidget*>(m_contact)})
            w->setEnabled(m_enabled->isChecked());
    };
    connect(m_enabled, &QCheckBox::toggled, this, follow);
    follow();
}

Preferences ReminderSettingsDialog::preferences() const {
    Preferences p;
    p.enabled = m_enabled->isChecked();
    p.minutesBefore = m_minutesBefore->value();
    p.dueTime = m_dueTime->time();
    p.snoozeMinutes = m_snooze->value();
    return p;
}

std::optional<qint64> ReminderSettingsDialog::contact() const {
    const QVariant id = m_contact->currentData();
    if (!id.isValid())
        return std::nullopt;
    return id.toLongLong();
}

TaskReminderDialog::TaskReminderDialog(const QString& taskTitle, const TaskSetting& setting,
                                       const Preferences& preferences, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Task Reminder"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(taskTitle, this);
    title->setObjectName(QStringLiteral("taskTitle"));
    title->setTextFormat(Qt::PlainText);
    layout->addWidget(title);

    auto* form = new QFormLayout;
    m_ownTime = new QCheckBox(QStringLiteral("Due at a &time of its own:"), this);
    m_ownTime->setObjectName(QStringLiteral("ownTime"));
    m_ownTime->setChecked(setting.time.has_value());
    m_time = timeBox(QStringLiteral("time"), setting.time.value_or(preferences.dueTime), this);
    form->addRow(m_ownTime, m_time);
    m_ownLead = new QCheckBox(QStringLiteral("Remind &before it by:"), this);
    m_ownLead->setObjectName(QStringLiteral("ownLead"));
    m_ownLead->setChecked(setting.minutesBefore.has_value());
    m_minutesBefore = minutesBox(QStringLiteral("minutesBefore"), 0, 60 * 24 * 30,
                                 setting.minutesBefore.value_or(preferences.minutesBefore), this);
    form->addRow(m_ownLead, m_minutesBefore);
    layout->addLayout(form);
    auto* otherwise = new QLabel(QStringLiteral("Otherwise it is due at %1 of its due date and reminds %2 "
                                                "before (Edit → Reminder Settings).")
                                     .arg(timeText(preferences.dueTime), minutesText(preferences.minutesBefore)),
                                 this);
    otherwise->setWordWrap(true);
    layout->addWidget(otherwise);
    addButtons(this, layout);

    auto follow = [this] {
        m_time->setEnabled(m_ownTime->isChecked());
        m_minutesBefore->setEnabled(m_ownLead->isChecked());
    };
    connect(m_ownTime, &QCheckBox::toggled, this, follow);
    connect(m_ownLead, &QCheckBox::toggled, this, follow);
    follow();
}

TaskSetting TaskReminderDialog::setting() const {
    TaskSetting setting;
    if (m_ownTime->isChecked())
        setting.time = m_time->time();
    if (m_ownLead->isChecked())
        setting.minutesBefore = m_minutesBefore->value();
    return setting;
}

} // namespace Reminders
