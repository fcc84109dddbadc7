#include "CsvCommands.h"

#include "ImportPreviewDialog.h"
#include "app/Backup.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "csv_exchange/TableImport.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>

#include <algorithm>
#include <functional>

namespace CsvCommands {

namespace {

const QString csvFilter = QStringLiteral("CSV files (*.csv);;All files (*)");

// A cell of a list as it goes into a file: the stored text of the list's model where the
// list shows one (through any proxy in between), the shown text otherwise.
QString exportedCell(const QModelIndex& index) {
    QModelIndex source = index;
    const QAbstractItemModel* model = index.model();
    while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(model)) {
        source = proxy->mapToSource(source);
        model = proxy->sourceModel();
    }
    if (const auto* records = qobject_cast<const RecordListModel*>(model); records && source.isValid()) {
        const auto kind = records->columns()[static_cast<size_t>(source.column())].kind;
        const CsvCells::Kind cellKind = kind == RecordListModel::Kind::Number ? CsvCells::Kind::Number
                                        : kind == RecordListModel::Kind::Date ? CsvCells::Kind::Date
                                                                              : CsvCells::Kind::Text;
        return CsvCells::exportCell(records->rawCell(source.row(), source.column()), cellKind);
    }
    return CsvCells::exportText(index.data().toString());
}

// The logical columns in the order the header shows them.
std::vector<int> shownColumns(const QTreeView* list) {
    std::vector<int> columns;
    const QHeaderView* header = list->header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical >= 0 && !header->isSectionHidden(logical))
            columns.push_back(logical);
    }
    return columns;
}

QStringList rowCells(const QTreeView* list, int row, const std::vector<int>& columns) {
    QStringList cells;
    for (const int c : columns)
        cells << exportedCell(list->model()->index(row, c));
    return cells;
}

void save(const QString& title, const QString& suggested, const CsvTable& table) {
    QString path = Messages::current().saveFileName(title, suggested, csvFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    QString error;
    if (!Csv::writeFile(path, table, &error))
        Messages::current().notice(QStringLiteral("Nothing was exported. ") + error);
}

void importFiles(PlannerWindow& planner, bool contactsOnly) {
    const QString title =
        contactsOnly ? QStringLiteral("Import Contacts") : QStringLiteral("Import Projects and Tasks");
    const QStringList paths = Messages::current().openFileNames(title, csvFilter, !contactsOnly);
    if (paths.isEmpty())
        return;
    Messages& messages = Messages::current();
    ImportBatch batch;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        // A row of the wrong width is refused in the preview, as other bad rows are.
        CsvReadOptions options;
        options.keepOddRows = true;
        CsvReadResult read = Csv::readFile(path, Csv::defaultMaxFileSize, options);
        if (!read.ok) {
            messages.notice(
                QStringLiteral("Nothing was imported. %1 cannot be read as a CSV file: %2").arg(name, read.error));
            return;
        }
        // Column names that are not known open the preview with every column unmapped, so that
        // the user can map them there.
        std::optional<ImportKind> kind = ImportKind::Contacts;
        if (!contactsOnly)
            kind = ImportBatch::recognise(read.table.header);
        ImportFile& file =
            batch.add(path, kind.value_or(ImportKind::Projects), std::move(read.table), read.encoding, read.separator);
        file.kindFixed = contactsOnly;
        if (!kind) {
            file.kindRecognised = false;
            file.unmapAll();
        }
    }
    batch.check();
    if (!ImportReview::current().confirm(batch))
        return;
    if (batch.rowsToAdd() == 0) {
        messages.notice(QStringLiteral("Nothing was imported: no row can be added."));
        return;
    }
    try {
        // A server's backups are its administrator's business.
        if (Database::shared().keepsOwnBackups())
            Backup::makeBackup(Database::shared());
    } catch (const DbError& e) {
        messages.notice(QStringLiteral("Nothing was imported, because a backup copy of the database could not be "
                                       "made first (%1).")
                            .arg(e.description()));
        return;
    }
    const ImportBatch::Outcome outcome = batch.apply();
    messages.notice(outcome.message);
    if (outcome.ok) {
        planner.refillProjects();
        planner.refillTasks();
    }
}

QAction* makeAction(QObject* parent, const char* name, const QString& text, const QString& procedure,
                    std::function<void()> handler) {
    auto* action = new QAction(text, parent);
    action->setObjectName(QLatin1String(name));
    QObject::connect(action, &QAction::triggered, parent, [procedure, handler] {
        ErrorTrap trap(QStringLiteral("Form1"), procedure);
        trap.step(1, handler);
    });
    return action;
}

} // namespace

CsvTable listAsShown(const QTreeView* list) {
    CsvTable table;
    const QAbstractItemModel* model = list->model();
    if (!model)
        return table;
    if (auto* records = qobject_cast<RecordListModel*>(list->model()))
        records->ensureComplete(); // a list still streaming in is exported whole
    const std::vector<int> columns = shownColumns(list);
    for (const int c : columns)
        table.header << model->headerData(c, Qt::Horizontal).toString();
    for (int row = 0; row < model->rowCount(); ++row)
        table.rows.push_back(rowCells(list, row, columns));
    return table;
}

QStringList selectedRow(QTreeView* list) {
    const int row = RowSelection::selectedRow(list);
    if (row < 0)
        return {};
    return rowCells(list, row, shownColumns(list));
}

void exportList(PlannerWindow& planner, QTreeView* list) {
    const bool projects = list == planner.projectList();
    save(projects ? QStringLiteral("Export Project List") : QStringLiteral("Export Task List"),
         projects ? QStringLiteral("project-list.csv") : QStringLiteral("task-list.csv"), listAsShown(list));
}

void exportTable(TableExport::Table table) {
    save(QStringLiteral("Export Table"), TableExport::suggestedFileName(table), TableExport::read(table));
}

void copySelectedRow(PlannerWindow& planner) {
    QTreeView* list = planner.projectList();
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        if (w == planner.taskList() || w == planner.projectList()) {
            list = static_cast<QTreeView*>(w);
            break;
        }
    }
    const QStringList cells = selectedRow(list);
    if (!cells.isEmpty())
        QGuiApplication::clipboard()->setText(Csv::tabSeparated(cells));
}

void importContacts(PlannerWindow& planner) {
    importFiles(planner, true);
}

void importProjectsAndTasks(PlannerWindow& planner) {
    importFiles(planner, false);
}

void install(PlannerWindow& planner) {
    static DialogImportReview dialogReview;
    if (!ImportReview::isInstalled())
        ImportReview::install(&dialogReview);

    QWidget* window = planner.window();
    auto* exportMenu = new QMenu(QStringLiteral("&Export"), window);
    exportMenu->setObjectName(QStringLiteral("menuExport"));
    using Table = TableExport::Table;
    PlannerWindow* p = &planner;
    auto exportAction = [&](const char* name, const QString& text, const QString& procedure,
                            std::function<void()> handler) {
        exportMenu->addAction(makeAction(window, name, text, procedure, std::move(handler)));
    };
    exportAction("actionExportProjectList", QStringLiteral("&Project List as Shown..."),
                 QStringLiteral("ExportProjectList_Click"), [p] { exportList(*p, p->projectList()); });
    exportAction("actionExportTaskList", QStringLiteral("&Task List as Shown..."),
                 QStringLiteral("ExportTaskList_Click"), [p] { exportList(*p, p->taskList()); });
    exportMenu->addSeparator();
    exportAction("actionExportProjects", QStringLiteral("All P&rojects..."), QStringLiteral("ExportProjects_Click"),
                 [] { exportTable(Table::Projects); });
    exportAction("actionExportTasks", QStringLiteral("All T&asks..."), QStringLiteral("ExportTasks_Click"),
                 [] { exportTable(Table::Tasks); });
    exportAction("actionExportContacts", QStringLiteral("All &Contacts..."), QStringLiteral("ExportContacts_Click"),
                 [] { exportTable(Table::Contacts); });
    exportAction("actionExportValueLists", QStringLiteral("&Value Lists..."), QStringLiteral("ExportValueLists_Click"),
                 [] { exportTable(Table::ValueLists); });
    using Menu = PlannerWindow::Menu;
    planner.addMenu(Menu::File, PlannerWindow::Exchange, exportMenu);
    planner.addAction(Menu::File, PlannerWindow::Exchange,
                      makeAction(window, "actionImportContacts", QStringLiteral("Import &Contacts..."),
                                 QStringLiteral("ImportContacts_Click"), [p] { importContacts(*p); }));
    planner.addAction(Menu::File, PlannerWindow::Exchange,
                      makeAction(window, "actionImportProjects", QStringLiteral("Import &Projects and Tasks..."),
                                 QStringLiteral("ImportProjects_Click"), [p] { importProjectsAndTasks(*p); }));

    QAction* copy = makeAction(window, "actionCopy", QStringLiteral("&Copy"), QStringLiteral("Copy_Click"),
                               [p] { copySelectedRow(*p); });
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    planner.addAction(Menu::Edit, PlannerWindow::Clipboard, copy);
}

} // namespace CsvCommands
