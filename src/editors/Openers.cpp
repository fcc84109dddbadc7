#include "Openers.h"

#include "Form2.h"
#include "Form3.h"
#include "Form5.h"

namespace Editors {

// Each use gets a fresh window, so its lists are read anew and its mode decided anew.

void openProjectEditor(QWidget* parent, const QString& id, const QString& caption) {
    Form2 form(parent);
    form.m_ID = id;
    form.setWindowTitle(caption);
    form.exec();
}

void openTaskEditor(QWidget* parent, const QString& id, const QString& projectId, const QString& caption) {
    Form5 form(parent);
    form.m_ID = id;
    form.m_ProjectID = projectId;
    form.setWindowTitle(caption);
    form.exec();
}

void openContactEditor(QWidget* parent, const QString& id) {
    Form3 form(parent);
    form.m_ID = id;
    form.exec();
}

} // namespace Editors
