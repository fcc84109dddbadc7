// "Working Days": the one working calendar of the database, the weekdays that are worked and the
// dates that are not (holidays). Lengths, lags and the moves of linked tasks count its days.
#pragma once

#include <QDate>
#include <QDialog>
#include <QList>

#include <utility>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QTableWidget;

class WorkingDaysDialog final : public QDialog {
    Q_OBJECT
public:
    explicit WorkingDaysDialog(QWidget* parent = nullptr);

    // Saves the calendar in one transaction and schedules the linked tasks of every project anew;
    // false (after a message) when nothing was saved.
    bool save();

private:
    void load();
    void addHoliday();
    void removeHoliday();

    QCheckBox* m_weekday[7] = {};
    QTableWidget* m_holidays = nullptr;
    QDateEdit* m_newDay = nullptr;
    QLineEdit* m_newName = nullptr;
};

namespace WorkingCalendar {
struct Calendar {
    bool working[7] = {true, true, true, true, true, false, false}; // Monday first
    QList<std::pair<QDate, QString>> holidays;
};
// The calendar as stored.
Calendar read();
// Writes the calendar (one transaction) and schedules every project that has links anew. Throws
// DbError.
void write(const Calendar& calendar);
} // namespace WorkingCalendar
