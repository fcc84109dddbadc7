// Fennick Planner: the main window is the program.
#include "app/Messages.h"
#include "app/widgets/QtMessages.h"
#include "main_window/Form1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Fennick Planner"));
    QtMessages messages;
    Messages::install(&messages);

    Form1 form;
    form.Form_Load();
    if (form.programEnded())
        return 0;
    form.show();
    const int code = QApplication::exec();
    Messages::install(nullptr);
    return code;
}
