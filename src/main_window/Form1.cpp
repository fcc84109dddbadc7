#include "Form1.h"

#include "MainLayout.h"
#include "MainWindowPort.h"
#include "app/Backup.h"
#include "app/Connection.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/DatabaseChoice.h"
#include "app/ErrorTrap.h"
#include "app/FieldBounds.h"
#include "app/Messages.h"
#include "app/Settings.h"
#include "app/Twips.h"
#include "app/ValueText.h"
#include "app/widgets/Appearance.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "app/widgets/ScreenFit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <cmath>
#include <optional>

namespace {

using Kind = RecordListModel::Kind;

std::vector<RecordListModel::Column> projectColumns() {
    // Owners and value-list texts repeat from row to row: the model keeps each once.
    return {{QStringLiteral("Project ID"), Kind::Number},   {QStringLiteral("Project Name"), Kind::Text},
            {QStringLiteral("Owner"), Kind::Text, true},    {QStringLiteral("Category"), Kind::Text, true},
            {QStringLiteral("Priority"), Kind::Text, true}, {QStringLiteral("Status"), Kind::Text, true},
            {QStringLiteral("Start"), Kind::Date},          {QStringLiteral("End"), Kind::Date},
            {QStringLiteral("Budget"), Kind::Number},       {QStringLiteral("Budget in Days"), Kind::Number}};
}

std::vector<RecordListModel::Column> taskColumns() {
    return {{QStringLiteral("ID"), Kind::Number},
            {QStringLiteral("Title"), Kind::Text},
            {QStringLiteral("Assigned To"), Kind::Text, true},
            {QStringLiteral("Start Date"), Kind::Date},
            {QStringLiteral("Due Date"), Kind::Date},
            {QStringLiteral("Priority"), Kind::Text, true},
            {QStringLiteral("Status"), Kind::Text, true},
            {QStringLiteral("% Complete"), Kind::Number},
            {QStringLiteral("Cost"), Kind::Number},
            {QStringLiteral("Cost in Days"), Kind::Number}};
}

// The task list's date columns.
constexpr int startColumn = 3;
constexpr int dueColumn = 4;

// Which field fills each column. A missing value (a row that an import or another program
// wrote without it) shows as an empty cell.
struct ListField {
    const char* name;
};

constexpr ListField projectFields[] = {{"ID"},     {"ProjectName"}, {"OwnerName"}, {"Category"}, {"Priority"},
                                       {"Status"}, {"StartDate"},   {"EndDate"},   {"Budget"},   {"BudgetInDays"}};

constexpr ListField taskFields[] = {{"ID"},       {"Title"},  {"AssignedTo"},      {"StartDate"}, {"DueDate"},
                                    {"Priority"}, {"Status"}, {"PercentComplete"}, {"Cost"},      {"CostInDays"}};

// The milestones of a project, by task ID; none in a database without the planner's columns.
QSet<qint64> milestonesOf(const QString& projectId) {
    QSet<qint64> ids;
    const Connection* connection = Database::shared().connection();
    if (!connection || !connection->hasPlanner())
        return ids;
    for (ResultSet rs = Database::shared().query(QStringLiteral("select ID from Tasks where Milestone = true and "
                                                                "ProjectID=") +
                                                 projectId);
         !rs.eof(); rs.moveNext())
        ids.insert(rs.value(0).toLongLong());
    return ids;
}

// The project list's fields, each text cut to what a cell shows: a name of a megabyte (pasted by
// mistake, or written by another program) must not slow every refill. The editor reads it whole.
QString projectListQuery() {
    QStringList columns;
    for (const ListField& field : projectFields) {
        const QString name = QLatin1String(field.name);
        const bool text = name == QLatin1String("ProjectName") || name == QLatin1String("OwnerName") ||
                          name == QLatin1String("Category") || name == QLatin1String("Priority") ||
                          name == QLatin1String("Status");
        columns << (text ? QStringLiteral("substr(%1, 1, %2) as %1").arg(name).arg(FieldBounds::listCellChars) : name);
    }
    return QStringLiteral("select ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" from [Open Projects]");
}

// Reads the field of one cell as the database gave it.
RawValue readCell(const ResultSet& rs, int column, const ListField&) {
    return rs.raw(column);
}

// Where each list field stands in a result.
template <std::size_t N> void findColumns(const ResultSet& rs, const ListField (&fields)[N], int* columns) {
    for (std::size_t i = 0; i < N; ++i)
        columns[i] = rs.column(QLatin1String(fields[i].name));
}

// The end of a patch: the records asked for that no longer read back are taken out.
void endPatch(RecordListModel* model, const QSet<qint64>& asked, const QSet<qint64>& read) {
    for (qint64 id : asked)
        if (!read.contains(id))
            model->removeRecord(id);
    model->endPatch();
}

// A milestone stands on its due date: its start cell holds the same date.
void standOnDueDate(RawValue* values) {
    if (values[dueColumn].type != RawValue::Type::Null)
        values[startColumn] = values[dueColumn];
    else
        values[dueColumn] = values[startColumn];
}

// IDs as the list of an SQL "in (...)".
QString idList(const QSet<qint64>& ids) {
    QStringList texts;
    texts.reserve(ids.size());
    for (qint64 id : ids)
        texts << QString::number(id);
    return texts.join(QLatin1Char(','));
}

// A large project list is read in parts: the first part before the window shows (a screenful
// and more), the rest in slices of this many milliseconds while the user can already work.
constexpr int firstPartRows = 300;
constexpr int sliceMs = 12;
// How long the rest waits for the window's first paint.
constexpr int unpaintedWaitMs = 200;

// The captions of the eight command buttons.
constexpr std::pair<const char*, const char*> buttonCaptions[] = {
    {"PushButton2", "Add New Project"},         {"PushButton1", "Edit Selected Project"},
    {"PushButton3", "Delete Selected Project"}, {"PushButton5", "Reports"},
    {"PushButton4", "Add Project Task"},        {"PushButton6", "Edit Selected Task"},
    {"PushButton7", "Delete Selected Task"},    {"PushButton8", "Load Sample/Example Data"},
};

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    m_port = new MainWindowPort(*this);
    connect(this, &Form1::listsRefilled, m_port, &PlannerWindow::listsRefilled);
    connect(this, &Form1::listsNotRead, m_port, &PlannerWindow::listsNotRead);
    buildControls();
    // Every feature that the composition root added puts its commands in through the port.
    Features::installAll(*m_port);
}

Form1::~Form1() = default;

PlannerWindow& Form1::port() const {
    return *m_port;
}

double Form1::dpi() const {
    return logicalDpiX() > 0 ? logicalDpiX() : 96.0;
}

int Form1::menuBarHeight() const {
    return MenuBar ? MenuBar->sizeHint().height() : 0;
}

void Form1::buildMenus() {
    MenuBar = new QMenuBar(this);
    MenuBar->setObjectName(QStringLiteral("MenuBar"));
    // The menu bar belongs to this window on every platform, above the client area.
    MenuBar->setNativeMenuBar(false);
    auto addMenu = [this](const char* name, const QString& title) {
        QMenu* menu = MenuBar->addMenu(title);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    menuFile = addMenu("menuFile", QStringLiteral("&File"));
    menuEdit = addMenu("menuEdit", QStringLiteral("&Edit"));
    menuView = addMenu("menuView", QStringLiteral("&View"));
    menuHelp = addMenu("menuHelp", QStringLiteral("&Help"));

    QAction* quit = new QAction(QStringLiteral("&Quit"), this);
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::WindowShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    m_port->addAction(PlannerWindow::Menu::File, PlannerWindow::Quit, quit);
}

void Form1::placeFrameParts() {
    const int bar = menuBarHeight();
    if (MenuBar)
        MenuBar->setGeometry(0, 0, width(), bar);
    if (!m_client)
        return;
    const QRect area(0, bar, width(), qMax(0, height() - bar));
    auto* scroll = findChild<QScrollArea*>(QStringLiteral("ClientScroll"), Qt::FindDirectChildrenOnly);
    if (!scroll) {
        m_client->setGeometry(area);
        return;
    }
    scroll->setGeometry(area);
    // A normal window smaller than the design (a small or strongly scaled screen) scrolls its
    // controls, which keep their designed places and sizes; a maximised one lays them out anew.
    QSize client = area.size();
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        // Scroll bars only where a control would be cut off, not for a pixel of the margin.
        const QRect controls = m_client->childrenRect();
        const QSize designed(controls.right() + 2, controls.bottom() + 2);
        if (client.height() < designed.height())
            client.rwidth() -= style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        if (client.width() < designed.width())
            client.rheight() -= style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        client = client.expandedTo(designed);
    }
    m_client->resize(client);
}

void Form1::buildControls() {
    buildMenus();
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ClientScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(false);
    m_client = new QWidget;
    m_client->setObjectName(QStringLiteral("ClientArea"));
    scroll->setWidget(m_client);
    m_client->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    auto makeList = [this](const char* name) {
        auto* list = new QTreeView(m_client);
        list->setObjectName(QLatin1String(name));
        list->setRootIsDecorated(false);
        list->setItemsExpandable(false);
        list->setUniformRowHeights(true);
        list->setAllColumnsShowFocus(true);
        list->setAlternatingRowColors(true);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        // The last column takes the width that the columns leave when the list grows with the window.
        list->header()->setStretchLastSection(true);
        list->header()->setSectionsMovable(false);
        list->header()->setSectionsClickable(true);
        list->header()->setSortIndicatorShown(false);
        return list;
    };
    ListView1 = makeList("ListView1");
    ListView2 = makeList("ListView2");
    m_projects = new RecordListModel(projectColumns(), this);
    m_projects->setCompleter([this] { completeProjectFill(); });
    m_sliceTimer = new QTimer(this);
    m_sliceTimer->setSingleShot(true);
    connect(m_sliceTimer, &QTimer::timeout, this, [this] { continueProjectFill(); });
    m_tasks = new TaskListModel(taskColumns(), this);

    QPushButton** buttons[] = {&PushButton1, &PushButton2, &PushButton3, &PushButton4,
                               &PushButton5, &PushButton6, &PushButton7, &PushButton8};
    for (int i = 0; i < 8; ++i) {
        auto* button = new QPushButton(m_client);
        button->setObjectName(QStringLiteral("PushButton%1").arg(i + 1));
        *buttons[i] = button;
    }

    for (const auto& [name, caption] : buttonCaptions)
        findChild<QPushButton*>(QLatin1String(name))->setText(QLatin1String(caption));
    placeControls(MainLayout::designed());
    const double d = dpi();
    resize(Twips::toPixels(MainLayout::designedClientWidth, d),
           Twips::toPixels(MainLayout::designedClientHeight, d) + menuBarHeight());
    // On a screen too small for the design the window takes the height there is, and the width of
    // a vertical scroll bar more.
    const QSize room = ScreenFit::room(this);
    if (height() > room.height())
        resize(qMin(room.width(), width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent)), room.height());
    ScreenFit::fit(this);
    placeFrameParts();

    // Tab order follows the window from top to bottom.
    setTabOrder(ListView1, PushButton2);
    setTabOrder(PushButton2, PushButton1);
    setTabOrder(PushButton1, PushButton3);
    setTabOrder(PushButton3, PushButton5);
    setTabOrder(PushButton5, ListView2);
    setTabOrder(ListView2, PushButton4);
    setTabOrder(PushButton4, PushButton6);
    setTabOrder(PushButton6, PushButton7);
    setTabOrder(PushButton7, PushButton8);

    connect(ListView1->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { headerClick(ListView1, section + 1); });
    connect(ListView2->header(), &QHeaderView::sectionClicked, this,
            [this](int section) { headerClick(ListView2, section + 1); });
    connect(ListView1, &QAbstractItemView::clicked, this, [this] { projectRowClicked(); });
    ListView1->viewport()->installEventFilter(this);
    connectCommands();
}

void Form1::addColumns(QTreeView* list, RecordListModel* model) {
    list->setModel(model);
    RowSelection::keepOneSelected(list);
    // Moving through the projects with the keyboard shows each project's tasks, as a click does.
    if (list == ListView1) {
        connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
            if (!m_filling && !m_mouseDown)
                projectRowClicked();
        });
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView1->viewport()) {
        if (event->type() == QEvent::Paint && !m_listPainted) {
            m_listPainted = true;
            if (m_sliceTimer->isActive())
                m_sliceTimer->start(0); // the first screenful is up: read the rest now
        }
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            m_mouseDown = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            m_mouseDown = false;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::projectRowClicked() {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListView1_ItemClick"));
    trap.step(1, [this] { ListTasks(); });
    emit m_port->projectChosen();
}

void Form1::restoreWidths(QTreeView* list, const QString& prefix) {
    const QString procedure = QStringLiteral("Form_Load");
    ErrorTrap trap(QStringLiteral("Form1"), procedure);
    const int line = prefix == QLatin1String("ColumnHeaders") ? 10 : 11;
    const int count = list->model() ? list->model()->columnCount() : 0;
    for (int n = 1; n <= count; ++n) {
        trap.step(line, [&] {
            const QString key = prefix + QString::number(n);
            const QString fallback = n == 1 ? QStringLiteral("1200") : QStringLiteral("1500");
            const float twips = Settings::toWidth(Settings::read(key, fallback));
            list->header()->resizeSection(n - 1, Twips::toPixels(twips, dpi()));
        });
    }
}

void Form1::saveWidths(QTreeView* list, const QString& prefix) {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    const int line = prefix == QLatin1String("ColumnHeaders") ? 1 : 3;
    const int count = list->model() ? list->model()->columnCount() : 0;
    // The last column's own width is kept, not the room it was stretched to.
    list->header()->setStretchLastSection(false);
    const auto stretchAgain = qScopeGuard([list] { list->header()->setStretchLastSection(true); });
    for (int n = 1; n <= count; ++n) {
        trap.step(line, [&] {
            const double twips = Twips::fromPixels(list->header()->sectionSize(n - 1), dpi());
            Settings::write(prefix + QString::number(n), numberText(std::round(twips)));
        });
    }
}

void Form1::Form_Load() {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    // 1. The data folder in two levels, then the working database from the template.
    trap.step(1, [] { DataStore::makeCompanyFolder(); });
    trap.step(1, [] { DataStore::makeDataFolder(); });
    trap.step(1, [] { DataStore::copyTemplateIfMissing(); });
    trap.step(2, [this] { Appearance::applyMainWindowAppearance(this); });
    trap.step(3, [this] { Appearance::applyHandCursor(this); });
    trap.step(4, [this] { IsADOInstalled(); });
    if (m_programEnded)
        return;
    trap.step(5, [this] {
        setWindowTitle(QStringLiteral("Fennick Planner"));
        Appearance::applyIcon(this);
        AppTitle::set(AppTitle::shortenTitle(AppTitle::productName()));
    });
    trap.step(6, [] { Database::shared().close(); });
    const QString programTitle = windowTitle();
    // A database refused for a lasting reason (a role without rights, tables of another version)
    // is said once: the lists do not try it again.
    bool refused = false;
    trap.step(7, [this, &refused] {
        try {
            Database::shared().open(DatabaseChoice::chosen());
        } catch (const DbError& e) {
            refused = e.lasting();
            throw;
        }
        setWindowTitle(DatabaseChoice::windowTitle(windowTitle()));
    });
    // A database that opens on a later try (after a cancelled password box, say) or that the
    // user chooses later names itself in the title too.
    connect(&Database::shared().changes(), &ChangeFeed::opened, this,
            [this, programTitle] { setWindowTitle(DatabaseChoice::windowTitle(programTitle)); });
    trap.step(8, [this] { addColumns(ListView1, m_projects); });
    trap.step(9, [this] { addColumns(ListView2, m_tasks); });
    restoreWidths(ListView1, QStringLiteral("ColumnHeaders"));
    restoreWidths(ListView2, QStringLiteral("ColumnHeaders2"));
    if (!refused) {
        trap.step(12, [this] { ListData(); });
        trap.step(13, [this] { ListTasks(); });
    }
    trap.step(14, [this] {
        const qint16 state =
            Settings::toWindowState(Settings::read(QStringLiteral("WindowState"), QStringLiteral("0")));
        if (state == 1)
            setWindowState(Qt::WindowMinimized);
        else if (state == 2)
            setWindowState(Qt::WindowMaximized);
        else
            setWindowState(Qt::WindowNoState);
    });
    trap.step(15, [this] { m_restoreFlag = windowStateCode() != 0; });
    // The daily copy of the database runs beside the program, once the lists are filled.
    Backup::startDailyBackup(Database::shared().path());
}

int Form1::windowStateCode() const {
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized)
        return 1;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return 2;
    return 0;
}

void Form1::Form_QueryUnload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    abortProjectFill(); // its open result must not outlive the connection
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    saveWidths(ListView1, QStringLiteral("ColumnHeaders"));
    trap.step(2, [this] { Settings::write(QStringLiteral("WindowState"), QString::number(windowStateCode())); });
    saveWidths(ListView2, QStringLiteral("ColumnHeaders2"));
    Backup::stopDailyBackup();
    trap.step(4, [] {
        if (Database::shared().isOpen())
            Database::shared().close();
    });
    trap.step(6, [] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    });
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
    // Closing the main window ends the program, with any other window still open.
    QCoreApplication::quit();
}

// The part of a project list fill still to be read: its open result and the columns found.
struct Form1::ProjectFill {
    ResultSet rs;
    int columns[10] = {};
    bool haveColumns = false;
};

void Form1::ListData() {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    m_filling = true;
    abortProjectFill(); // a refill replaces a fill still streaming
    trap.step(1, [this] { m_projects->beginFill(); });
    std::optional<ResultSet> rs;
    if (trap.step(2, [&] { rs.emplace(Database::shared().streamQuery(projectListQuery())); })) {
        m_projectFill = std::make_unique<ProjectFill>(ProjectFill{std::move(*rs), {}, false});
        m_projectFill->haveColumns =
            trap.step(3, [&] { findColumns(m_projectFill->rs, projectFields, m_projectFill->columns); });
        if (readProjectRows(trap, firstPartRows, -1)) {
            finishProjectFill(trap);
        } else {
            // The rest streams in while the window is already usable.
            m_projects->publish();
            showFillProgress(true);
            // The window paints its first screenful before the rest is read; should no paint come
            // (a window not shown), the reading starts all the same.
            m_sliceTimer->start(m_listPainted ? 0 : unpaintedWaitMs);
        }
    } else {
        m_projects->finishFill();
    }
    selectRow(ListView1, 0);
    m_filling = false;
    noteProjectRead(trap);
    if (!m_projectFill)
        emit listsRefilled(); // a list still streaming in tells once it is complete
}

void Form1::noteProjectRead(const ErrorTrap& trap) {
    // A fault of the program (a value that cannot be shown) leaves the rows that were read; a
    // refusal that lasts (a right missing) is not waited out.
    m_projectsUnread = trap.refusedOnly();
    if (trap.refusedForNow())
        emit listsNotRead();
}

bool Form1::readProjectRows(ErrorTrap& trap, int maxRows, int maxMs) {
    ProjectFill& fill = *m_projectFill;
    QElapsedTimer clock;
    clock.start();
    RawValue values[10];
    int read = 0;
    while (fill.haveColumns && !fill.rs.eof()) {
        if ((maxRows >= 0 && read >= maxRows) || (maxMs >= 0 && (read & 255) == 0 && clock.elapsed() >= maxMs))
            return false;
        for (int i = 0; i < 10; ++i) {
            values[i] = {};
            trap.step(3 + i, [&] { values[i] = readCell(fill.rs, fill.columns[i], projectFields[i]); });
        }
        m_projects->appendRow(values);
        ++read;
        if (!trap.step(13, [&] { fill.rs.moveNext(); }))
            break;
    }
    return true;
}

void Form1::finishProjectFill(ErrorTrap& trap) {
    m_sliceTimer->stop();
    trap.step(14, [&] { m_projectFill->rs.close(); });
    m_projectFill.reset();
    m_projects->finishFill();
    showFillProgress(false);
}

void Form1::continueProjectFill() {
    if (!m_projectFill)
        return; // already completed
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    const bool more = !readProjectRows(trap, -1, sliceMs);
    if (trap.failed())
        noteProjectRead(trap);
    if (more) {
        m_projects->publish();
        m_sliceTimer->start(0);
        return;
    }
    completeProjectFill();
}

void Form1::completeProjectFill() {
    if (!m_projectFill)
        return;
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    readProjectRows(trap, -1, -1);
    if (trap.failed())
        noteProjectRead(trap);
    // Once the list is whole, its sort holds and, as after any fill, its first row is selected
    // (unless the user has chosen another row meanwhile).
    const int selected = selectedRow(ListView1);
    const QString selectedId = selectedCell(ListView1, 0);
    finishProjectFill(trap);
    // (A filter applied to the complete list may have taken the selected row away.)
    const bool lost = selectedRow(ListView1) < 0;
    if (m_projects->rowCount() > 0 &&
        (lost || (m_projects->isSorted() && selected == 0 && m_projects->cellText(0, 0) != selectedId))) {
        m_filling = true;
        selectRow(ListView1, 0);
        m_filling = false;
        ErrorTrap tasks(QStringLiteral("Form1"), QStringLiteral("ListView1_ItemClick"));
        tasks.step(1, [this] { ListTasks(); });
    } else if (selected == 0) {
        ListView1->scrollTo(m_projects->index(0, 0));
    }
    emit listsRefilled();
}

void Form1::abortProjectFill() {
    m_sliceTimer->stop();
    if (!m_projectFill)
        return;
    m_projectFill.reset();
    showFillProgress(false);
}

void Form1::showFillProgress(bool on) {
    if (!m_fillProgress) {
        if (!on)
            return;
        m_fillProgress = new QProgressBar(ListView1);
        m_fillProgress->setObjectName(QStringLiteral("ListFillProgress"));
        m_fillProgress->setRange(0, 0); // the length of the list is not known until it is read
        m_fillProgress->setTextVisible(false);
        m_fillProgress->setAccessibleName(QStringLiteral("Loading projects"));
    }
    if (on) {
        const int height = qMax(6, ListView1->fontMetrics().height() / 3);
        m_fillProgress->setGeometry(0, ListView1->height() - height, ListView1->width(), height);
        m_fillProgress->raise();
    }
    m_fillProgress->setVisible(on);
}

void Form1::ListTasks() {
    const QString projectId = selectedCell(ListView1, 0);
    if (projectId.isEmpty()) // no project, or none selected: nothing to show
        return;
    m_filling = true;
    auto done = [this] {
        m_tasks->finishFill();
        selectRow(ListView2, 0);
        m_filling = false;
    };
    try {
        m_tasks->beginFill();
        m_tasks->setMilestones(milestonesOf(projectId));
        ResultSet rs =
            Database::shared().query(QStringLiteral("select * from [Open Tasks] where ProjectID=") + projectId);
        int columns[10];
        findColumns(rs, taskFields, columns);
        RawValue values[10];
        while (!rs.eof()) {
            for (int i = 0; i < 10; ++i)
                values[i] = readCell(rs, columns[i], taskFields[i]);
            if (m_tasks->hasMilestones() && m_tasks->isMilestone(rs.value(columns[0]).toLongLong()))
                standOnDueDate(values);
            m_tasks->appendRow(values);
            rs.moveNext();
        }
        rs.close();
    } catch (const DbError& e) {
        // The rows read so far stay; the caller's trap reports the failure.
        done();
        m_tasksUnread = e.expected();
        if (e.passing())
            emit listsNotRead();
        throw;
    } catch (...) {
        done();
        throw;
    }
    m_tasksUnread = false;
    done();
}

bool Form1::patchLists(const QString& table, const QSet<qint64>& ids) {
    if (m_projectFill || m_projects->isFilling() || !listsRead())
        return false;
    if (ids.isEmpty())
        return true;
    const QString list = idList(ids);
    if (table == QLatin1String("projects")) {
        patchProjects(QStringLiteral(" where ID in (") + list + QLatin1Char(')'), ids);
        return true;
    }
    if (table == QLatin1String("tasks")) {
        patchTasks(QStringLiteral(" and ID in (") + list + QLatin1Char(')'), ids);
        return true;
    }
    if (table == QLatin1String("employees")) {
        // A contact's name shows in the rows of the projects it owns and the tasks it does.
        patchProjects(QStringLiteral(" where Owner in (") + list + QLatin1Char(')'), {});
        patchTasks(QStringLiteral(" and AssignedID in (") + list + QLatin1Char(')'), {});
        return true;
    }
    // The value lists, links and the calendar show in no row of the lists.
    static const QSet<QString> unlisted = {QStringLiteral("status_entries"),     QStringLiteral("categories_entries"),
                                           QStringLiteral("priorities_entries"), QStringLiteral("tasklinks"),
                                           QStringLiteral("workingdays"),        QStringLiteral("holidays")};
    return unlisted.contains(table);
}

void Form1::patchProjects(const QString& condition, const QSet<qint64>& asked) {
    const QString selectedBefore = selectedCell(ListView1, 0);
    QSet<qint64> read;
    {
        ResultSet rs = Database::shared().query(projectListQuery() + condition);
        int columns[10];
        findColumns(rs, projectFields, columns);
        RawValue values[10];
        while (!rs.eof()) {
            read.insert(rs.value(columns[0]).toLongLong());
            for (int i = 0; i < 10; ++i)
                values[i] = readCell(rs, columns[i], projectFields[i]);
            m_projects->patchRecord(values);
            rs.moveNext();
        }
        rs.close();
    }
    endPatch(m_projects, asked, read);
    // The selected project went away: the one that took its place shows its tasks.
    const QString selectedNow = selectedCell(ListView1, 0);
    if (selectedNow != selectedBefore) {
        if (selectedNow.isEmpty())
            m_tasks->clear();
        else
            ListTasks();
    }
}

void Form1::patchTasks(const QString& condition, const QSet<qint64>& asked) {
    const QString projectId = selectedCell(ListView1, 0);
    if (projectId.isEmpty())
        return;
    const QString rows = QStringLiteral("from [Open Tasks] where ProjectID=") + projectId + condition;
    // Which of them are milestones, before their rows are put in place.
    const Connection* connection = Database::shared().connection();
    if (connection && connection->hasPlanner()) {
        for (ResultSet m = Database::shared().query(QStringLiteral("select ID, Milestone from Tasks where ID in "
                                                                   "(select ID ") +
                                                    rows + QLatin1Char(')'));
             !m.eof(); m.moveNext())
            m_tasks->setMilestone(m.value(0).toLongLong(), isStoredTruth(m.value(1).toString()));
    }
    QSet<qint64> read;
    {
        ResultSet rs = Database::shared().query(QStringLiteral("select * ") + rows);
        int columns[10];
        findColumns(rs, taskFields, columns);
        RawValue values[10];
        while (!rs.eof()) {
            const qint64 id = rs.value(columns[0]).toLongLong();
            for (int i = 0; i < 10; ++i)
                values[i] = readCell(rs, columns[i], taskFields[i]);
            read.insert(id);
            if (m_tasks->isMilestone(id))
                standOnDueDate(values);
            m_tasks->patchRecord(values);
            rs.moveNext();
        }
        rs.close();
    }
    endPatch(m_tasks, asked, read);
}
