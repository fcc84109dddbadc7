// The editors' date field: a date edit with a calendar that also takes a date typed as a whole,
// in the user's short date format or as yyyy-MM-dd, and that can be blank (a record whose date
// is missing).
#pragma once

#include <QDateEdit>
#include <QLocale>

#include <optional>

class DatePicker final : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    // Shows no date; date() then gives the blank marker and pickedDate() an invalid date.
    void setBlank();
    bool isBlank() const;
    // The date shown, or an invalid date when the field is blank.
    QDate pickedDate() const;

    // A typed text read as a whole date: yyyy-MM-dd, or day, month and a four-digit year in the
    // order of the locale's short format (any separators; the month also by name). Nothing
    // when the text does not name one whole, valid date.
    static std::optional<QDate> wholeDate(const QString& text, const QLocale& locale);
    // A typed text that names only part of a date, completed from `base`: a day ("15"), a
    // month ("Jan"), a year ("2027"), a day and a month, a month and a year, or a whole date
    // with a two-digit year. Nothing when the text cannot be read so.
    static std::optional<QDate> completedDate(const QString& text, const QLocale& locale, const QDate& base);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    QDateTime dateTimeFromText(const QString& text) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Tab leaves the picker for the next field; the arrow keys move within the typed text.
    bool focusNextPrevChild(bool next) override;

private:
    void showTodayWhenBlank();
};
