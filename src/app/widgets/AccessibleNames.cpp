#include "AccessibleNames.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>

namespace AccessibleNames {

namespace {

// Controls without a caption of their own, and without a label beside them.
struct KnownName {
    const char* window;
    const char* control;
    const char* name;
};
constexpr KnownName knownNames[] = {
    {"Form1", "ListView1", "Projects"},
    {"Form1", "ListView2", "Tasks of the selected project"},
};

// Symbol captions of the small list buttons, and what they do to the field beside them.
struct SymbolVerb {
    const char* symbol;
    const char* verb;
};
constexpr SymbolVerb symbolVerbs[] = {{"+", "Add"}, {"-", "Delete"}, {"*", "Edit"}, {"...", "Choose"}};

QString plainCaption(QString text) {
    // "&Save" reads "Save", "Report Type:" reads "Report Type"; "&&" stays one "&".
    text.replace(QLatin1String("&&"), QString(QChar(0x1)));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(0x1), QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

bool hasWordCharacter(const QString& text) {
    for (const QChar c : text)
        if (c.isLetterOrNumber())
            return true;
    return false;
}

QString verbFor(const QString& symbol) {
    for (const SymbolVerb& v : symbolVerbs)
        if (symbol == QLatin1String(v.symbol))
            return QLatin1String(v.verb);
    return {};
}

bool isSymbolButton(QWidget* w) {
    auto* button = qobject_cast<QAbstractButton*>(w);
    return button && !hasWordCharacter(button->text());
}

QLabel* buddyLabelOf(QWidget* window, QWidget* w) {
    const auto labels = window->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->buddy() == w && hasWordCharacter(label->text()))
            return label;
    return nullptr;
}

// The label on the same row, ending left of the control: the nearest one.
QLabel* labelLeftOf(QWidget* window, QWidget* w) {
    const QRect box(w->mapTo(window, QPoint(0, 0)), w->size());
    QLabel* best = nullptr;
    int bestGap = 0;
    const auto labels = window->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->buddy() || !hasWordCharacter(label->text()) || label->isHidden())
            continue;
        const QRect l(label->mapTo(window, QPoint(0, 0)), label->size());
        const int gap = box.left() - l.right();
        if (gap < 0 || l.center().y() < box.top() || l.center().y() > box.bottom())
            continue;
        if (!best || gap < bestGap) {
            best = label;
            bestGap = gap;
        }
    }
    return best;
}

QString knownName(QWidget* window, QWidget* w) {
    for (const KnownName& k : knownNames)
        if (window->objectName() == QLatin1String(k.window) && w->objectName() == QLatin1String(k.control))
            return QLatin1String(k.name);
    return {};
}

// The field a symbol button serves: the nearest control before it in the tab order that is not
// a symbol button itself.
QWidget* servedField(QWidget* window, QWidget* button) {
    QWidget* w = button->previousInFocusChain();
    for (int guard = 0; w && w != button && guard < 64; ++guard, w = w->previousInFocusChain()) {
        if (w == window || !window->isAncestorOf(w) || !isFocusableControl(w) || isSymbolButton(w))
            continue;
        return w;
    }
    return nullptr;
}

QString derivedName(QWidget* window, QWidget* w, int depth) {
    if (!w->accessibleName().isEmpty())
        return w->accessibleName();
    if (const QString known = knownName(window, w); !known.isEmpty())
        return known;
    if (QLabel* label = buddyLabelOf(window, w))
        return plainCaption(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        const QString caption = plainCaption(button->text());
        if (hasWordCharacter(caption))
            return caption;
        QWidget* field = depth < 2 ? servedField(window, w) : nullptr;
        const QString fieldName = field ? derivedName(window, field, depth + 1) : QString();
        const QString verb = verbFor(button->text().trimmed());
        if (!fieldName.isEmpty())
            return (verb.isEmpty() ? caption : verb) + QLatin1Char(' ') + fieldName;
        if (!button->toolTip().isEmpty())
            return button->toolTip();
        return verb;
    }
    if (auto* group = qobject_cast<QGroupBox*>(w->parentWidget()); group && hasWordCharacter(group->title()))
        return plainCaption(group->title());
    if (QLabel* label = labelLeftOf(window, w))
        return plainCaption(label->text());
    if (!w->toolTip().isEmpty())
        return w->toolTip();
    if (auto* edit = qobject_cast<QLineEdit*>(w); edit && !edit->placeholderText().isEmpty())
        return edit->placeholderText();
    return {};
}

} // namespace

QString spokenName(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

bool isFocusableControl(QWidget* widget) {
    if (widget->isWindow() || widget->focusPolicy() == Qt::NoFocus || widget->focusProxy())
        return false;
    // Parts of compound controls: the text field of a drop-down list or date picker, the
    // header and cell editors of a list.
    for (QWidget* p = widget->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p) || qobject_cast<QAbstractItemView*>(p))
            return false;
    return !qobject_cast<QMenuBar*>(widget);
}

QString nameFor(QWidget* window, QWidget* control) {
    return derivedName(window, control, 0);
}

void nameControls(QWidget* window) {
    const auto widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!isFocusableControl(w) || !w->accessibleName().isEmpty())
            continue;
        const QString name = derivedName(window, w, 0);
        if (!name.isEmpty())
            w->setAccessibleName(name);
    }
}

} // namespace AccessibleNames
