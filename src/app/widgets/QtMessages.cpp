#include "QtMessages.h"

#include "app/SaveFolder.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>

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

QString QtMessages::saveFileName(const QString& title, const QString& suggestedName, const QString& filter) {
    const QString path = QFileDialog::getSaveFileName(owner(), title, SaveFolder::suggestedPath(suggestedName), filter);
    SaveFolder::remember(path);
    return path;
}

QStringList QtMessages::openFileNames(const QString& title, const QString& filter, bool several) {
    // A documents folder that does not exist yet (a fresh home) would be taken for a file name.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    if (several)
        return QFileDialog::getOpenFileNames(owner(), title, folder, filter);
    const QString path = QFileDialog::getOpenFileName(owner(), title, folder, filter);
    return path.isEmpty() ? QStringList() : QStringList{path};
}

QString QtMessages::password(const QString& title, const QString& prompt) {
    bool ok = false;
    const QString text = QInputDialog::getText(owner(), title, prompt, QLineEdit::Password, QString(), &ok);
    return ok ? text : QString();
}

void QtMessages::waiting(const QString& text) {
    if (text.isEmpty()) {
        delete m_waiting;
        QApplication::restoreOverrideCursor();
        return;
    }
    // A busy bar without a Cancel button: the wait ends by itself within the connection's limit.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    auto* bar = new QProgressDialog(text, QString(), 0, 0, owner());
    bar->setObjectName(QStringLiteral("WaitingForDatabase"));
    bar->setWindowTitle(AppTitle::current());
    bar->setCancelButton(nullptr);
    bar->setMinimumDuration(0);
    bar->setAutoClose(false);
    bar->setAttribute(Qt::WA_DeleteOnClose);
    bar->show();
    m_waiting = bar;
}
