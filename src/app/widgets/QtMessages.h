// The real message boxes, question boxes and input boxes of the program.
#pragma once

#include "app/Messages.h"

#include <QPointer>

class QProgressDialog;

class QtMessages final : public Messages {
public:
    void notice(const QString& text) override;
    bool ask(const QString& text) override;
    void error(const QString& text) override;
    QString input(const QString& title, const QString& prompt) override;
    QString saveFileName(const QString& title, const QString& suggestedName, const QString& filter) override;
    QStringList openFileNames(const QString& title, const QString& filter, bool several) override;
    QString password(const QString& title, const QString& prompt) override;
    void waiting(const QString& text) override;

private:
    QPointer<QProgressDialog> m_waiting;
};
