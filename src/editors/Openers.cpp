#include "Openers.h"

namespace Editors {

void openProjectEditor(QWidget*, const QString&, const QString&) {}
void openTaskEditor(QWidget*, const QString&, const QString&, const QString&) {}
void openContactEditor(QWidget*, const QString&) {}

} // namespace Editors
