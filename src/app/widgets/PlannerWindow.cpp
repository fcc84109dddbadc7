#include "PlannerWindow.h"

#include <QMenu>

#include <utility>
#include <vector>

void PlannerWindow::addMenu(Menu menu, const QString& group, QMenu* submenu) {
    addAction(menu, group, submenu->menuAction());
}

namespace Features {

namespace {
std::vector<std::pair<QString, Install>>& registered() {
    static std::vector<std::pair<QString, Install>> features;
    return features;
}
} // namespace

void add(const QString& name, Install install) {
    for (auto& [known, existing] : registered()) {
        if (known == name) {
            existing = std::move(install);
            return;
        }
    }
    registered().emplace_back(name, std::move(install));
}

void installAll(PlannerWindow& window) {
    for (const auto& [name, install] : registered())
        install(window);
}

} // namespace Features
