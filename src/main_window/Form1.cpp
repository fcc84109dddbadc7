#include "Form1.h"

#include "MainLayout.h"
#include "RecordListModel.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/Settings.h"
#include "app/Twips.h"
#include "app/widgets/Appearance.h"
#include "team_database/DatabaseChoice.h"
#include "team_database/widgets/TeamCommands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QSet>
#include <QTreeView>

#include <cmath>
#include <optional>

namespace {

using Kind = RecordListModel::Kind;

std::vector<RecordListModel::Column> projectColumns() {
    return {{QStringLiteral("Project ID"), Kind::Number}, {QStringLiteral("Project Name"), Kind::Text},
            {QStringLiteral("Owner"), Kind::Text},        {QStringLiteral("Category"), Kind::Text},
            {QStringLiteral("Priority"), Kind::Text},     {QStringLiteral("Status"), Kind::Text},
            {QStringLiteral("Start"), Kind::Date},        {QStringLiteral("End"), Kind::Date},
            {QStringLiteral("Budget"), Kind::Number},     {QStringLiteral("Budget in Days"), Kind::Number}};
}

std::vector<RecordListModel::Column> taskColumns() {
    return {{QStringLiteral("ID"), Kind::Number},        {QStringLiteral("Title"), Kind::Text},
            {QStringLiteral("Assigned To"), Kind::Text}, {QStringLiteral("Start Date"), Kind::Date},
            {QStringLiteral("Due Date"), Kind::Date},    {QStringLiteral("Priority"), Kind::Text},
            {QStringLiteral("Status"), Kind::Text},      {QStringLiteral("% Complete"), Kind::Number},
            {QStringLiteral("Cost"), Kind::Number},      {QStringLiteral("Cost in Days"), Kind::Number}};
}

// Which field fills each column, and whether a missing value is an empty cell (true) or an error.
struct ListField {
    const char* name;
    bool emptyWhenNull;
};

constexpr ListField projectFields[] = {
    {"ID", false},    {"ProjectName", false}, {"OwnerName", false}, {"Category", false}, {"Priority", false},
    {"Status", true}, {"StartDate", false},   {"EndDate", false},   {"Budget", false},   {"BudgetInDays", true}};

constexpr ListField taskFields[] = {
    {"ID", false},      {"Title", false},  {"AssignedTo", false},      {"StartDate", false}, {"DueDate", false},
    {"Priority", true}, {"Status", false}, {"PercentComplete", false}, {"Cost", false},      {"CostInDays", true}};

// Reads the field of one cell: numbers as plain decimal text, dates as their stored ISO text
// (the model formats them). A missing value in an error column throws.
QString readCell(const ResultSet& rs, int column, const ListField& field) {
    if (rs.isNull(column)) {
        if (field.emptyWhenNull)
            return {};
        throw DbError(QStringLiteral("Invalid use of Null (%1)").arg(QLatin1String(field.name)));
    }
    return rs.rawText(column);
}

// Lists repeat the same owners, value-list texts and dates on many rows: one shared copy of
// each such text keeps a large list small.
class TextPool {
public:
    QString intern(QString text) {
        if (text.isEmpty())
            return text;
        const auto it = m_texts.constFind(text);
        if (it != m_texts.constEnd())
            return *it;
        m_texts.insert(text);
        return text;
    }

private:
    QSet<QString> m_texts;
};

// Columns whose texts repeat from row to row: the contact, value-list and date columns.
constexpr bool isSharedColumn(int column) {
    return column >= 2 && column <= 7;
}

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
    buildControls();
    TeamCommands::install(this);
}

Form1::~Form1() = default;

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
    menuFile->addAction(quit);
}

void Form1::placeFrameParts() {
    const int bar = menuBarHeight();
    if (MenuBar)
        MenuBar->setGeometry(0, 0, width(), bar);
    if (m_client)
        m_client->setGeometry(0, bar, width(), qMax(0, height() - bar));
}

void Form1::buildControls() {
    buildMenus();
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
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
        list->header()->setStretchLastSection(false);
        list->header()->setSectionsMovable(false);
        list->header()->setSectionsClickable(true);
        list->header()->setSortIndicatorShown(false);
        return list;
    };
    ListView1 = makeList("ListView1");
    ListView2 = makeList("ListView2");
    m_projects = new RecordListModel(projectColumns(), this);
    m_tasks = new RecordListModel(taskColumns(), this);

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
    trap.step(7, [this] {
        Database::shared().open(DatabaseChoice::chosen());
        setWindowTitle(DatabaseChoice::windowTitle(windowTitle()));
    });
    trap.step(8, [this] { addColumns(ListView1, m_projects); });
    trap.step(9, [this] { addColumns(ListView2, m_tasks); });
    restoreWidths(ListView1, QStringLiteral("ColumnHeaders"));
    restoreWidths(ListView2, QStringLiteral("ColumnHeaders2"));
    trap.step(12, [this] { ListData(); });
    trap.step(13, [this] { ListTasks(); });
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
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    saveWidths(ListView1, QStringLiteral("ColumnHeaders"));
    trap.step(2, [this] { Settings::write(QStringLiteral("WindowState"), QString::number(windowStateCode())); });
    saveWidths(ListView2, QStringLiteral("ColumnHeaders2"));
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

void Form1::ListData() {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    m_filling = true;
    trap.step(1, [this] { m_projects->clear(); });
    std::optional<ResultSet> rs;
    if (trap.step(2, [&] { rs.emplace(Database::shared().query(QStringLiteral("select * from [Open Projects]"))); })) {
        int columns[10];
        bool haveColumns = trap.step(3, [&] {
            for (int i = 0; i < 10; ++i)
                columns[i] = rs->column(QLatin1String(projectFields[i].name));
        });
        std::vector<RecordListModel::Row> rows;
        TextPool pool;
        while (haveColumns && !rs->eof()) {
            RecordListModel::Row row(10);
            for (int i = 0; i < 10; ++i) {
                trap.step(3 + i, [&] {
                    QString text = readCell(*rs, columns[i], projectFields[i]);
                    row[static_cast<size_t>(i)] = isSharedColumn(i) ? pool.intern(std::move(text)) : std::move(text);
                });
            }
            rows.push_back(std::move(row));
            if (!trap.step(13, [&] { rs->moveNext(); }))
                break;
        }
        trap.step(14, [&] { rs->close(); });
        m_projects->setRows(std::move(rows));
    }
    selectRow(ListView1, 0);
    m_filling = false;
}

void Form1::ListTasks() {
    if (m_projects->rowCount() == 0)
        return;
    m_filling = true;
    const QString projectId = selectedCell(ListView1, 0);
    std::vector<RecordListModel::Row> rows;
    try {
        m_tasks->clear();
        ResultSet rs =
            Database::shared().query(QStringLiteral("select * from [Open Tasks] where ProjectID=") + projectId);
        int columns[10];
        for (int i = 0; i < 10; ++i)
            columns[i] = rs.column(QLatin1String(taskFields[i].name));
        TextPool pool;
        while (!rs.eof()) {
            rows.emplace_back(10);
            for (int i = 0; i < 10; ++i) {
                QString text = readCell(rs, columns[i], taskFields[i]);
                rows.back()[static_cast<size_t>(i)] =
                    isSharedColumn(i) ? pool.intern(std::move(text)) : std::move(text);
            }
            rs.moveNext();
        }
        rs.close();
    } catch (...) {
        // The rows read so far stay; the caller's trap reports the failure.
        m_tasks->setRows(std::move(rows));
        selectRow(ListView2, 0);
        m_filling = false;
        throw;
    }
    m_tasks->setRows(std::move(rows));
    selectRow(ListView2, 0);
    m_filling = false;
}

int Form1::selectedRow(QTreeView* list) {
    if (!list->model() || !list->selectionModel())
        return -1;
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void Form1::selectRow(QTreeView* list, int row) {
    if (!list->model() || row < 0 || row >= list->model()->rowCount())
        return;
    const QModelIndex index = list->model()->index(row, 0);
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollTo(index);
}

QString Form1::selectedCell(QTreeView* list, int column) {
    const int row = selectedRow(list);
    if (row < 0)
        return {};
    return static_cast<RecordListModel*>(list->model())->cellText(row, column);
}

void Form1::headerClick(QTreeView* list, int columnNumber) {
    auto* model = static_cast<RecordListModel*>(list->model());
    if (!model)
        return;
    const int remembered = model->isSorted() ? model->sortColumn() : -1;
    model->setSortingEnabled(false);
    Qt::SortOrder order = Qt::AscendingOrder;
    if (columnNumber - 1 == remembered)
        order = model->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    model->sort(columnNumber - 1, order);
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(columnNumber - 1, order);
}
