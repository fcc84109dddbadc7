#include "DatePicker.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace {

// The marker of a blank field: the picker's lowest date, shown as the special text.
const QDate blankMarker(100, 1, 1);
const QString blankText = QStringLiteral(" ");

enum class Part { Day, Month, Year };

// The order of day, month and year in the locale's short format ("dd/MM/yyyy": day first).
QList<Part> partOrder(const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QList<std::pair<qsizetype, Part>> found = {{format.indexOf(QLatin1Char('d')), Part::Day},
                                               {format.indexOf(QLatin1Char('M')), Part::Month},
                                               {format.indexOf(QLatin1Char('y')), Part::Year}};
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<Part> order;
    for (const auto& f : found)
        order << f.second;
    return order;
}

// The month a word names (at least three letters of its name, in the locale or in English).
int monthOfWord(const QString& word, const QLocale& locale) {
    if (word.size() < 3)
        return 0;
    for (const QLocale& l : {locale, QLocale::c()})
        for (int m = 1; m <= 12; ++m)
            for (QLocale::FormatType f : {QLocale::LongFormat, QLocale::ShortFormat})
                if (l.monthName(m, f).startsWith(word, Qt::CaseInsensitive) ||
                    l.standaloneMonthName(m, f).startsWith(word, Qt::CaseInsensitive))
                    return m;
    return 0;
}

// What a typed text holds: its numbers in order (with their digit counts) and a month word.
struct Typed {
    QList<int> numbers;
    QList<qsizetype> digits;
    int month = 0;     // named by a word; 0 when none
    bool iso = false;  // yyyy-MM-dd
    bool valid = true; // false: a word that names no month, or too many parts
};

Typed readTyped(const QString& text, const QLocale& locale) {
    Typed t;
    static const QRegularExpression part(QStringLiteral("(\\d+)|(\\p{L}+)"));
    const QString trimmed = text.trimmed();
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2}$"));
    t.iso = iso.match(trimmed).hasMatch();
    auto it = part.globalMatch(trimmed);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(1) > 0) {
            if (m.capturedLength(1) > 4)
                t.valid = false;
            t.numbers << m.captured(1).toInt();
            t.digits << m.capturedLength(1);
        } else if (t.month == 0) {
            t.month = monthOfWord(m.captured(2), locale);
            if (t.month == 0)
                t.valid = false;
        } else {
            t.valid = false;
        }
    }
    if (t.numbers.size() + (t.month ? 1 : 0) > 3)
        t.valid = false;
    return t;
}

// A two-digit year in the century that puts it closest to this year.
int fullYear(int year, qsizetype digits) {
    if (digits > 2)
        return year;
    const int now = QDate::currentDate().year();
    int full = now - now % 100 + year;
    if (full > now + 50)
        full -= 100;
    else if (full < now - 50)
        full += 100;
    return full;
}

QDate makeDate(int year, int month, int day) {
    return QDate::isValid(year, month, day) ? QDate(year, month, day) : QDate();
}

// The day kept from `base` within the days of the month.
QDate withYearMonth(const QDate& base, int year, int month) {
    if (month < 1 || month > 12)
        return {};
    const int days = QDate(year, month, 1).daysInMonth();
    return makeDate(year, month, std::min(base.day(), days));
}

} // namespace

DatePicker::DatePicker(QWidget* parent)
    : QDateEdit(parent) {
    setMinimumDate(blankMarker);
    setSpecialValueText(blankText);
    // A text that cannot be read at all gives back the date shown before.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

void DatePicker::setBlank() {
    setDate(blankMarker);
}

bool DatePicker::isBlank() const {
    return date() == blankMarker;
}

QDate DatePicker::pickedDate() const {
    return isBlank() ? QDate() : date();
}

std::optional<QDate> DatePicker::wholeDate(const QString& text, const QLocale& locale) {
    const Typed t = readTyped(text, locale);
    if (!t.valid)
        return std::nullopt;
    QDate d;
    if (t.iso) {
        d = makeDate(t.numbers[0], t.numbers[1], t.numbers[2]);
    } else if (t.month == 0 && t.numbers.size() == 3) {
        int values[3] = {};
        qsizetype yearDigits = 0;
        const QList<Part> order = partOrder(locale);
        for (int i = 0; i < 3; ++i) {
            values[static_cast<int>(order[i])] = t.numbers[i];
            if (order[i] == Part::Year)
                yearDigits = t.digits[i];
        }
        if (yearDigits != 4)
            return std::nullopt;
        d = makeDate(values[2], values[1], values[0]);
    } else if (t.month != 0 && t.numbers.size() == 2) {
        // "31 Dec 2026", "Dec 31, 2026": the four-digit number is the year.
        const int yearAt = t.digits[0] == 4 ? 0 : (t.digits[1] == 4 ? 1 : -1);
        if (yearAt < 0 || t.digits[1 - yearAt] > 2)
            return std::nullopt;
        d = makeDate(t.numbers[yearAt], t.month, t.numbers[1 - yearAt]);
    }
    if (!d.isValid())
        return std::nullopt;
    return d;
}

std::optional<QDate> DatePicker::completedDate(const QString& text, const QLocale& locale, const QDate& base) {
    if (const std::optional<QDate> whole = wholeDate(text, locale))
        return whole;
    const Typed t = readTyped(text, locale);
    if (!t.valid || !base.isValid())
        return std::nullopt;
    QDate d;
    const qsizetype count = t.numbers.size();
    if (t.month != 0 && count == 0) {
        d = withYearMonth(base, base.year(), t.month);
    } else if (t.month != 0 && count == 1) {
        d = t.digits[0] == 4 ? withYearMonth(base, t.numbers[0], t.month)
                             : makeDate(base.year(), t.month, t.numbers[0]);
    } else if (count == 1) {
        if (t.digits[0] == 4)
            d = withYearMonth(base, t.numbers[0], base.month());
        else if (t.digits[0] <= 2)
            d = makeDate(base.year(), base.month(), t.numbers[0]);
    } else if (count == 2 && t.month == 0) {
        if (t.digits[1] == 4) { // month and year
            d = withYearMonth(base, t.numbers[1], t.numbers[0]);
        } else { // day and month in the locale's order
            const QList<Part> order = partOrder(locale);
            const bool dayFirst = order.indexOf(Part::Day) < order.indexOf(Part::Month);
            d = makeDate(base.year(), t.numbers[dayFirst ? 1 : 0], t.numbers[dayFirst ? 0 : 1]);
        }
    } else if (count == 3 && t.month == 0) {
        int values[3] = {};
        const QList<Part> order = partOrder(locale);
        for (int i = 0; i < 3; ++i)
            values[static_cast<int>(order[i])] =
                order[i] == Part::Year ? fullYear(t.numbers[i], t.digits[i]) : t.numbers[i];
        d = makeDate(values[2], values[1], values[0]);
    }
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QValidator::State DatePicker::validate(QString& input, int& pos) const {
    if (wholeDate(input, locale()))
        return QValidator::Acceptable;
    if (input == blankText)
        return QValidator::Acceptable;
    // Anything else may be the start of a date: the text stays as typed until the field is
    // left, and is then read as far as it goes (fixup).
    if (input.size() > 40)
        return QValidator::Invalid;
    Q_UNUSED(pos);
    return QValidator::Intermediate;
}

void DatePicker::fixup(QString& input) const {
    if (input.trimmed().isEmpty()) {
        input = blankText;
        return;
    }
    const QDate base = isBlank() ? QDate::currentDate() : date();
    const std::optional<QDate> d = completedDate(input, locale(), base);
    input = textFromDateTime(QDateTime(d ? *d : date(), QTime(0, 0)));
    if (!d && isBlank())
        input = blankText;
}

QDateTime DatePicker::dateTimeFromText(const QString& text) const {
    if (text == blankText)
        return QDateTime(blankMarker, QTime(0, 0));
    if (const std::optional<QDate> d = wholeDate(text, locale()))
        return QDateTime(*d, QTime(0, 0));
    return QDateEdit::dateTimeFromText(text);
}

void DatePicker::keyPressEvent(QKeyEvent* event) {
    // Typing goes into the text as it would in a text box; the sections of the date do not
    // jump ahead while a date is typed.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    const bool printable = !event->text().isEmpty() && event->text().at(0).isPrint() && modifiers == 0;
    const bool editing = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
    const bool typing = lineEdit()->text() != textFromDateTime(dateTime());
    const bool moving = typing && modifiers == 0 &&
                        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right ||
                         event->key() == Qt::Key_Home || event->key() == Qt::Key_End);
    // A read-only picker (a summary task's dates) takes no typing: its text box would hand the key
    // back to this picker without end.
    if ((printable || editing || moving) && !isReadOnly()) {
        if (isBlank() && lineEdit()->text() == blankText)
            lineEdit()->selectAll();
        QCoreApplication::sendEvent(lineEdit(), event);
        return;
    }
    QDateEdit::keyPressEvent(event);
    showTodayWhenBlank(); // in case a key opened the calendar
}

void DatePicker::focusInEvent(QFocusEvent* event) {
    QDateEdit::focusInEvent(event);
    // Reached by the keyboard, the whole date is selected so that typing replaces it.
    if (event->reason() != Qt::MouseFocusReason)
        lineEdit()->selectAll();
}

void DatePicker::mousePressEvent(QMouseEvent* event) {
    QDateEdit::mousePressEvent(event);
    showTodayWhenBlank();
}

void DatePicker::showTodayWhenBlank() {
    // A blank field's calendar opens on this month, not on the blank marker's.
    if (isBlank() && calendarPopup() && calendarWidget() && calendarWidget()->isVisible()) {
        const QDate today = QDate::currentDate();
        calendarWidget()->setCurrentPage(today.year(), today.month());
    }
}

bool DatePicker::focusNextPrevChild(bool next) {
    return QWidget::focusNextPrevChild(next);
}
