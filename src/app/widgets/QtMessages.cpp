#include "QtMessages.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {
QWidget* owner() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}
} // namespace

void QtMessages::notice(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, AppTitle::current(), text, QMessageBox::Ok, owner());
    box.exec();
}

bool QtMessages::ask(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, AppTitle::current(), text, QMessageBox::Yes | QMessageBox::No, owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtMessages::error(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), text, QMessageBox::Ok, owner());
    box.exec();
}

QString QtMessages::input(const QString& title, const QString& prompt) {
    bool ok = false;
    const QString text = QInputDialog::getText(owner(), title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}

QString QtMessages::password(const QString& title, const QString& prompt) {
    bool ok = false;
    const QString text = QInputDialog::getText(owner(), title, prompt, QLineEdit::Password, QString(), &ok);
    return ok ? text : QString();
}
