#include "FilterLine.h"

#include <QAction>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QTextCharFormat>

namespace FindFilter {

QString FilterLine::howTo() {
    return QStringLiteral("Every word must match a column of the project or of one of its tasks; case and accents "
                          "do not count.\n"
                          "\"two words\" match as a phrase; -word leaves out what contains it.\n"
                          "Columns by name: owner:carter, status:open, priority=high, category:main, name:...\n"
                          "Numbers and dates: budget>1000, budget:100..500, start<2026-12-31, end:2026-12.\n"
                          "task:word, task:status:done and title:, assignee:, due: look in tasks only.\n"
                          "Escape clears the filter.");
}

FilterLine::FilterLine(QWidget* parent)
    : QLineEdit(parent) {
    setObjectName(QStringLiteral("FilterLine"));
    setPlaceholderText(QStringLiteral("Filter: words, \"a phrase\", owner:name, budget>1000, -word"));
    setClearButtonEnabled(true);
    setToolTip(howTo());
    m_warning = addAction(style()->standardIcon(QStyle::SP_MessageBoxWarning), QLineEdit::TrailingPosition);
    m_warning->setObjectName(QStringLiteral("FilterProblems"));
    m_warning->setVisible(false);
}

void FilterLine::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        emit escapePressed();
        return;
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit leaveToList();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

QTextCharFormat FilterLine::problemFormat() const {
    // A deep red on a light background, a light red on a dark one: both well above 4.5:1.
    const bool dark = palette().color(QPalette::Base).lightness() < 128;
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    format.setUnderlineColor(dark ? QColor(0xFF, 0x6B, 0x6B) : QColor(Qt::red));
    format.setForeground(dark ? QColor(0xFF, 0x8A, 0x8A) : QColor(0xB0, 0x00, 0x20));
    return format;
}

void FilterLine::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_marks.isEmpty()) {
        const QTextCharFormat format = problemFormat();
        for (QTextLayout::FormatRange& m : m_marks)
            m.format = format;
        applyMarks();
    }
}

void FilterLine::showProblems(const std::vector<Problem>& problems) {
    const QTextCharFormat format = problemFormat();

    QList<QTextLayout::FormatRange> marks;
    QStringList reasons;
    for (const Problem& p : problems) {
        marks.append({p.start, p.length, format});
        reasons << QStringLiteral("\u201C%1\u201D: %2").arg(text().mid(p.start, p.length), p.message);
    }
    const bool changed = marks.size() != m_marks.size() || !reasons.isEmpty() || !m_marks.isEmpty();
    m_marks = marks;
    QString tip =
        reasons.isEmpty() ? QString() : QStringLiteral("Not understood, left out:\n") + reasons.join(QLatin1Char('\n'));
    m_warning->setToolTip(tip);
    if (!tip.isEmpty())
        tip += QStringLiteral("\n\n");
    tip += howTo();
    setToolTip(tip);
    m_warning->setVisible(!reasons.isEmpty());
    if (changed)
        applyMarks();
}

void FilterLine::applyMarks() {
    // A line edit draws formats that an input method sets, at places counted from the cursor.
    QList<QInputMethodEvent::Attribute> attributes;
    for (const QTextLayout::FormatRange& m : m_marks)
        attributes.append(QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, m.start - cursorPosition(),
                                                       m.length, m.format));
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(this, &event);
}

} // namespace FindFilter
