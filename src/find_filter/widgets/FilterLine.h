// The filter line: a line edit that marks the terms it cannot read (underlined, with the
// reasons in its tooltip) and hands Escape and the way down to the list to its owner.
#pragma once

#include "find_filter/FilterQuery.h"

#include <QLineEdit>
#include <QList>
#include <QTextCharFormat>
#include <QTextLayout>

class QAction;

namespace FindFilter {

class FilterLine : public QLineEdit {
    Q_OBJECT
public:
    explicit FilterLine(QWidget* parent = nullptr);

    // Marks the terms that could not be read, or clears the marks.
    void showProblems(const std::vector<Problem>& problems);
    // The marked stretches of the text (start, length), for the tests and the tooltip.
    const QList<QTextLayout::FormatRange>& marks() const { return m_marks; }
    // The short guide to the filter language that the tooltip shows.
    static QString howTo();

signals:
    void escapePressed();
    // Down, Enter or Return: the user goes on to the list.
    void leaveToList();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyMarks();
    // The format of a marked term, readable on the line's background in light and dark palettes.
    QTextCharFormat problemFormat() const;

    QList<QTextLayout::FormatRange> m_marks;
    QAction* m_warning = nullptr;
};

} // namespace FindFilter
