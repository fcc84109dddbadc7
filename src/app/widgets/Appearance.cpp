#include "Appearance.h"

#include "app/DataStore.h"
#include "app/DbError.h"
#include "app/widgets/AccessibleNames.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <QtEndian>

// The images live in the GUI library, a static library: its resources are registered by hand so
// that the linker keeps them.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace Appearance {

QString skinFile() {
    return DataStore::programFile(QStringLiteral("x/o.cjs"), DataStore::Search::ProgramAndUser);
}
QString handCursorFile() {
    return DataStore::programFile(QStringLiteral("HAND-M.CUR"), DataStore::Search::ProgramAndUser);
}

namespace {
// The background takes the palette's button-face role rather than a copy of its colour, so the
// text colour that Qt pairs with that role goes with it, and both follow the system when it
// switches between light and dark.
void paintButtonFace(QWidget* w) {
    w->setBackgroundRole(QPalette::Button);
    w->setAutoFillBackground(true);
}
} // namespace

void applySystemColours(QWidget* window) {
    paintButtonFace(window);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QLabel*>(child) || qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child) ||
            qobject_cast<QGroupBox*>(child) ||
            (qobject_cast<QFrame*>(child) && child->metaObject() == &QFrame::staticMetaObject))
            paintButtonFace(child);
    }
}

void applyMainWindowAppearance(QWidget* window) {
    const QString path = skinFile();
    if (!DataStore::fileExists(path))
        return;
    applySystemColours(window);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("The skin file '%1' could not be read.").arg(path));
    window->setStyleSheet(QString::fromUtf8(file.readAll()));
}

QIcon programIcon() {
    // The same images the desktop entry and the installed icon theme show, one per size.
    static const QIcon icon = [] {
        registerResources();
        QIcon made;
        for (int size : programIconSizes())
            made.addFile(QStringLiteral(":/fennick/icons/%1.png").arg(size), QSize(size, size));
        return made;
    }();
    return icon;
}

QList<int> programIconSizes() {
    return {16, 22, 24, 32, 48, 64, 128, 256};
}

void applyIcon(QWidget* window) {
    window->setWindowIcon(programIcon());
    AccessibleNames::nameControls(window);
}

bool loadCursorFile(const QString& path, QCursor* cursor) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    QImageReader reader(path, "ico");
    QImage image = reader.read();
    if (image.isNull()) {
        QImageReader any(path);
        image = any.read();
    }
    if (image.isNull())
        return false;
    // A cursor file keeps the hot spot of its first image in the directory entry.
    int hotX = 0;
    int hotY = 0;
    if (bytes.size() >= 22 && qFromLittleEndian<quint16>(bytes.constData() + 2) == 2) {
        hotX = qFromLittleEndian<quint16>(bytes.constData() + 10);
        hotY = qFromLittleEndian<quint16>(bytes.constData() + 12);
    }
    *cursor = QCursor(QPixmap::fromImage(image), hotX, hotY);
    return true;
}

void applyHandCursor(QWidget* window) {
    const QString path = handCursorFile();
    if (!DataStore::fileExists(path))
        return;
    static QCursor hand;
    static bool loaded = loadCursorFile(path, &hand);
    if (!loaded)
        return;
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        button->setCursor(hand);
}

void applyDialogAppearance(QWidget* window) {
    applySystemColours(window);
    applyIcon(window);
    applyHandCursor(window);
}

} // namespace Appearance
