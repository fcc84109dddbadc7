#include "Messages.h"

namespace {

class SilentMessages final : public Messages {
public:
    void notice(const QString&) override {}
    bool ask(const QString&) override { return false; }
    void error(const QString&) override {}
    QString input(const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

SilentMessages g_silent;
Messages* g_current = nullptr;
QString g_title;

} // namespace

QString Messages::saveFileName(const QString&, const QString&, const QString&) {
    return {};
}

QStringList Messages::openFileNames(const QString&, const QString&, bool) {
    return {};
}

Messages& Messages::current() {
    return g_current ? *g_current : g_silent;
}

void Messages::install(Messages* messages) {
    g_current = messages;
}

namespace AppTitle {

QString productName() {
    return QStringLiteral("Fennick Planner");
}

QString current() {
    return g_title.isEmpty() ? productName() : g_title;
}

void set(const QString& title) {
    g_title = title;
}

QString shortenTitle(const QString& name) {
    QString title = name;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title = title.left(blank);
    } while (title.size() > 40);
    return title;
}

} // namespace AppTitle
