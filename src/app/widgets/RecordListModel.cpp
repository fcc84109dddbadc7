#include "RecordListModel.h"

#include "app/Database.h"

#include <QApplication>
#include <QDate>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

namespace {

// A small funnel: the mark of a filtered list's header.
QIcon filterMark() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QApplication::palette().color(QPalette::Highlight));
    const QPointF funnel[] = {{1.5, 2.5}, {14.5, 2.5}, {9.5, 8.5}, {9.5, 14.0}, {6.5, 12.5}, {6.5, 8.5}};
    painter.drawPolygon(funnel, 6);
    return QIcon(pixmap);
}

constexpr std::int32_t noDate = std::numeric_limits<std::int32_t>::min(); // an empty date cell
constexpr std::int32_t oddDate = noDate + 1;                              // a date cell kept as text

// Hashing for the repeated-text dictionary, looked up by the bytes just read.
struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
struct ViewEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return a == b; }
};

// The day of a stored "yyyy-MM-dd" text; noDate when the text is anything else.
std::int32_t dayOf(const char* text, qsizetype size) {
    if (size != 10 || text[4] != '-' || text[7] != '-')
        return noDate;
    auto digits = [text](int from, int count) {
        int n = 0;
        for (int i = from; i < from + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            n = n * 10 + (text[i] - '0');
        }
        return n;
    };
    const int y = digits(0, 4), m = digits(5, 2), d = digits(8, 2);
    if (y < 0 || m < 0 || d < 0 || !QDate::isValid(y, m, d))
        return noDate;
    return static_cast<std::int32_t>(QDate(y, m, d).toJulianDay());
}

QString isoText(std::int32_t day) {
    const QDate d = QDate::fromJulianDay(day);
    char text[11];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year(), d.month(), d.day());
    return QString::fromLatin1(text, 10);
}

// The text of a value that is not a text (a number where a text or a date was expected).
QString textOf(const RecordListModel::Value& v) {
    switch (v.type) {
    case RecordListModel::Value::Type::Null:
        return {};
    case RecordListModel::Value::Type::Integer:
        return QString::number(v.integer);
    case RecordListModel::Value::Type::Real:
        return numberText(v.real);
    case RecordListModel::Value::Type::Text:
        break;
    }
    return QString::fromUtf8(v.text, v.size);
}

// One entry of a sort: its key, its place before the sort (ties keep it) and its stored row.
struct SortEntry {
    double key;
    std::uint32_t before;
    std::uint32_t stored;
};

void sortEntries(std::vector<SortEntry>& entries, bool descending) {
    if (descending)
        std::sort(entries.begin(), entries.end(), [](const SortEntry& a, const SortEntry& b) {
            return a.key != b.key ? a.key > b.key : a.before < b.before;
        });
    else
        std::sort(entries.begin(), entries.end(), [](const SortEntry& a, const SortEntry& b) {
            return a.key != b.key ? a.key < b.key : a.before < b.before;
        });
}

} // namespace

// ---------------------------------------------------------------- one column's cells

struct RecordListModel::Store {
    Kind kind = Kind::Text;
    bool repeated = false;

    // Texts of their own: one arena, each row's text ending at ends[row].
    std::string arena;
    std::vector<std::uint32_t> ends;
    // Repeated texts: an entry of the dictionary per row (0: empty).
    std::vector<std::uint32_t> ids;
    std::vector<QString> dictionary;
    std::unordered_map<std::string, std::uint32_t, ViewHash, ViewEqual> lookup;
    // Numbers (NaN: empty, or a text in odd) and dates (days; noDate, oddDate).
    std::vector<double> numbers;
    std::vector<std::int32_t> days;
    // Cells whose value does not fit their column's form, kept as texts.
    QHash<std::uint32_t, QString> odd;
    // What the fill remembers to go faster: the last repeated text, and recent date texts.
    static constexpr std::uint32_t noId = 0xffffffffu;
    std::string_view lastText;
    std::uint32_t lastId = noId;
    struct DayMemo {
        char text[10];
        int size = 0;
        std::int32_t day = 0;
    };
    DayMemo dayMemo[256];

    void clear() {
        std::string().swap(arena);
        std::vector<std::uint32_t>().swap(ends);
        std::vector<std::uint32_t>().swap(ids);
        dictionary = {QString()};
        lookup.clear();
        lookup.emplace(std::string(), 0);
        lastId = noId;
        lastText = {};
        std::vector<double>().swap(numbers);
        std::vector<std::int32_t>().swap(days);
        odd.clear();
    }

    std::uint32_t intern(std::string_view text) {
        // Neighbouring rows often repeat a text: compare with the last one before hashing.
        if (lastId != noId && text == lastText)
            return lastId;
        const auto it = lookup.find(text);
        std::uint32_t id;
        if (it != lookup.end()) {
            id = it->second;
            lastText = it->first;
        } else {
            id = static_cast<std::uint32_t>(dictionary.size());
            dictionary.push_back(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
            lastText = lookup.emplace(std::string(text), id).first->first;
        }
        lastId = id;
        return id;
    }

    // The day of a stored date text, remembered for the texts seen lately (dates repeat).
    std::int32_t day(const char* text, qsizetype size) {
        if (size != 10)
            return dayOf(text, size);
        std::uint64_t key = 0;
        std::memcpy(&key, text, 8);
        key ^= static_cast<std::uint64_t>(static_cast<unsigned char>(text[8])) << 3;
        key ^= static_cast<std::uint64_t>(static_cast<unsigned char>(text[9])) << 11;
        DayMemo& memo = dayMemo[(key * 0x9E3779B97F4A7C15ULL) >> 56];
        if (memo.size == 10 && std::memcmp(memo.text, text, 10) == 0)
            return memo.day;
        const std::int32_t d = dayOf(text, size);
        std::memcpy(memo.text, text, 10);
        memo.size = 10;
        memo.day = d;
        return d;
    }

    void append(const Value& v, std::uint32_t row) {
        switch (kind) {
        case Kind::Text:
            if (repeated) {
                if (v.type == Value::Type::Text)
                    ids.push_back(intern(std::string_view(v.text, static_cast<std::size_t>(v.size))));
                else
                    ids.push_back(intern(textOf(v).toStdString()));
            } else {
                if (v.type == Value::Type::Text)
                    arena.append(v.text, static_cast<std::size_t>(v.size));
                else
                    arena.append(textOf(v).toStdString());
                ends.push_back(static_cast<std::uint32_t>(arena.size()));
            }
            break;
        case Kind::Number:
            if (v.type == Value::Type::Real) {
                numbers.push_back(v.real);
            } else if (v.type == Value::Type::Integer && std::abs(v.integer) < 1000000000000000LL) {
                numbers.push_back(static_cast<double>(v.integer));
            } else {
                numbers.push_back(std::numeric_limits<double>::quiet_NaN());
                if (v.type != Value::Type::Null)
                    odd.insert(row, textOf(v));
            }
            break;
        case Kind::Date: {
            std::int32_t day = noDate;
            if (v.type == Value::Type::Text)
                day = this->day(v.text, v.size);
            if (day == noDate && v.type != Value::Type::Null) {
                day = oddDate;
                odd.insert(row, textOf(v));
            }
            days.push_back(day);
            break;
        }
        }
    }

    QString text(std::uint32_t row) const {
        switch (kind) {
        case Kind::Text:
            if (repeated)
                return dictionary[ids[row]];
            else {
                const std::uint32_t start = row == 0 ? 0 : ends[row - 1];
                return QString::fromUtf8(arena.data() + start, static_cast<qsizetype>(ends[row] - start));
            }
        case Kind::Number: {
            const double v = numbers[row];
            return std::isnan(v) ? odd.value(row) : numberText(v);
        }
        case Kind::Date: {
            const std::int32_t day = days[row];
            if (day == noDate)
                return {};
            return day == oddDate ? odd.value(row) : isoText(day);
        }
        }
        return {};
    }

    // The record ID a stored row holds, for the first column.
    qint64 recordId(std::uint32_t row) const {
        if (kind == Kind::Number && !std::isnan(numbers[row]))
            return static_cast<qint64>(numbers[row]);
        return text(row).toLongLong();
    }

    // The sort key of a number cell: empty or unreadable cells before every number.
    double numberKey(std::uint32_t row) const {
        const double v = numbers[row];
        if (!std::isnan(v))
            return v;
        bool ok = false;
        const double parsed = odd.value(row).toDouble(&ok);
        return ok ? parsed : -std::numeric_limits<double>::infinity();
    }

    // The own text of a row as the sort compares it: folded, ASCII letters by byte.
    std::string foldedText(std::uint32_t row) const {
        const std::uint32_t start = row == 0 ? 0 : ends[row - 1];
        std::string text(arena.data() + start, ends[row] - start);
        for (char& c : text) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return QString::fromUtf8(arena.data() + start, static_cast<qsizetype>(ends[row] - start))
                    .toCaseFolded()
                    .toStdString();
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        }
        return text;
    }

    // How two stored rows compare in the order a sort by this column gives (ascending).
    int compare(std::uint32_t a, std::uint32_t b) const {
        switch (kind) {
        case Kind::Number: {
            const double x = numberKey(a), y = numberKey(b);
            return x < y ? -1 : y < x ? 1 : 0;
        }
        case Kind::Date:
            if (odd.isEmpty()) {
                const auto key = [this](std::uint32_t r) {
                    return days[r] == noDate ? std::numeric_limits<std::int64_t>::min() : std::int64_t(days[r]);
                };
                return key(a) < key(b) ? -1 : key(b) < key(a) ? 1 : 0;
            }
            return QString::compare(text(a), text(b), Qt::CaseSensitive);
        case Kind::Text:
            if (repeated)
                return QString::compare(dictionary[ids[a]], dictionary[ids[b]], Qt::CaseInsensitive);
            return foldedText(a).compare(foldedText(b));
        }
        return 0;
    }

    // Orders the texts of their own without regard to case: a radix sort on eight folded bytes
    // at a time, so a long shared beginning ("Project …") costs one pass, not every comparison.
    void sortTexts(std::vector<SortEntry>& entries, bool descending) const;
};

void RecordListModel::Store::sortTexts(std::vector<SortEntry>& entries, bool descending) const {
    // Texts beyond ASCII are folded by Qt once; ASCII texts are folded as they are read.
    std::unordered_map<std::uint32_t, std::string> folded;
    std::size_t longest = 0;
    for (const SortEntry& e : entries) {
        const std::uint32_t start = e.stored == 0 ? 0 : ends[e.stored - 1];
        const std::uint32_t size = ends[e.stored] - start;
        longest = std::max<std::size_t>(longest, size);
        for (std::uint32_t i = start; i < start + size; ++i) {
            if (static_cast<unsigned char>(arena[i]) >= 0x80) {
                folded.emplace(e.stored, QString::fromUtf8(arena.data() + start, size).toCaseFolded().toStdString());
                break;
            }
        }
    }
    auto chunk = [&](std::uint32_t stored, std::size_t depth) {
        const char* text;
        std::size_t size;
        const auto it = folded.empty() ? folded.end() : folded.find(stored);
        if (it != folded.end()) {
            text = it->second.data();
            size = it->second.size();
        } else {
            const std::uint32_t start = stored == 0 ? 0 : ends[stored - 1];
            text = arena.data() + start;
            size = ends[stored] - start;
        }
        std::uint64_t key = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            unsigned char c = depth + i < size ? static_cast<unsigned char>(text[depth + i]) : 0;
            if (c >= 'A' && c <= 'Z')
                c = static_cast<unsigned char>(c + 32);
            key = (key << 8) | c;
        }
        return key;
    };

    struct Entry {
        std::uint64_t key;
        std::uint32_t before;
        std::uint32_t stored;
    };
    std::vector<Entry> work(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        work[i] = {0, entries[i].before, entries[i].stored};

    // Sorts work[from, to) by the chunk at depth, then each run of equal chunks one level deeper.
    std::function<void(std::size_t, std::size_t, std::size_t)> pass = [&](std::size_t from, std::size_t to,
                                                                          std::size_t depth) {
        for (std::size_t i = from; i < to; ++i)
            work[i].key = chunk(work[i].stored, depth);
        auto first = work.begin() + static_cast<std::ptrdiff_t>(from);
        auto last = work.begin() + static_cast<std::ptrdiff_t>(to);
        if (descending)
            std::sort(first, last, [](const Entry& a, const Entry& b) {
                return a.key != b.key ? a.key > b.key : a.before < b.before;
            });
        else
            std::sort(first, last, [](const Entry& a, const Entry& b) {
                return a.key != b.key ? a.key < b.key : a.before < b.before;
            });
        if (depth + 8 >= longest)
            return;
        for (std::size_t i = from; i < to;) {
            std::size_t j = i + 1;
            while (j < to && work[j].key == work[i].key)
                ++j;
            // A run whose chunk ends before eight bytes holds texts that ended: all equal.
            if (j - i > 1 && (work[i].key & 0xff) != 0)
                pass(i, j, depth + 8);
            i = j;
        }
    };
    pass(0, work.size(), 0);
    for (std::size_t i = 0; i < work.size(); ++i)
        entries[i] = {0, work[i].before, work[i].stored};
}

// ---------------------------------------------------------------- the model

RecordListModel::RecordListModel(std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns)) {
    for (const Column& c : m_columns) {
        auto store = std::make_unique<Store>();
        store->kind = c.kind;
        store->repeated = c.repeated && c.kind == Kind::Text;
        store->clear();
        m_stores.push_back(std::move(store));
    }
}

RecordListModel::~RecordListModel() = default;

int RecordListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_filtered ? m_visible.size() : m_order.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QString RecordListModel::storedText(std::uint32_t stored, int column) const {
    return m_stores[static_cast<std::size_t>(column)]->text(stored);
}

QString RecordListModel::rawCell(int row, int column) const {
    return storedText(storedRow(row), column);
}

QDate RecordListModel::cellDate(int row, int column) const {
    const Store& store = *m_stores[static_cast<std::size_t>(column)];
    if (store.kind != Kind::Date)
        return {};
    const std::int32_t day = store.days[storedRow(row)];
    return day == noDate || day == oddDate ? QDate() : QDate::fromJulianDay(day);
}

double RecordListModel::cellNumber(int row, int column) const {
    const Store& store = *m_stores[static_cast<std::size_t>(column)];
    return store.kind == Kind::Number ? store.numbers[storedRow(row)] : std::numeric_limits<double>::quiet_NaN();
}

QString RecordListModel::cellText(int row, int column) const {
    const Store& store = *m_stores[static_cast<std::size_t>(column)];
    const std::uint32_t stored = storedRow(row);
    if (store.kind != Kind::Date)
        return store.text(stored);
    const std::int32_t day = store.days[stored];
    if (day == noDate)
        return {};
    if (day == oddDate)
        return shortDateText(store.odd.value(stored));
    auto it = m_shortDates.constFind(day);
    if (it == m_shortDates.constEnd())
        it = m_shortDates.insert(day, QLocale::system().toString(QDate::fromJulianDay(day), QLocale::ShortFormat));
    return it.value();
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(index.row(), index.column());
    return {};
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[static_cast<std::size_t>(section)].header;
    if (section == 0 && m_filtered && !m_filterNote.isEmpty()) {
        if (role == Qt::ToolTipRole)
            return m_filterNote;
        if (role == Qt::DecorationRole) {
            if (m_filterMark.isNull())
                m_filterMark = filterMark();
            return m_filterMark;
        }
    }
    return {};
}

std::vector<QString> RecordListModel::sourceRowCells(int sourceRow) const {
    std::vector<QString> cells;
    cells.reserve(m_stores.size());
    for (int c = 0; c < columnCount(); ++c)
        cells.push_back(sourceCell(sourceRow, c));
    return cells;
}

void RecordListModel::setVisibleRows(std::vector<int> sourceRows) {
    beginResetModel();
    m_visible = std::move(sourceRows);
    m_filtered = true;
    endResetModel();
}

void RecordListModel::showAllRows() {
    if (!m_filtered)
        return;
    beginResetModel();
    m_filtered = false;
    m_visible.clear();
    endResetModel();
}

void RecordListModel::setFilterNote(const QString& note) {
    if (note == m_filterNote)
        return;
    m_filterNote = note;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void RecordListModel::dropRows() {
    for (auto& store : m_stores)
        store->clear();
    std::vector<std::uint32_t>().swap(m_order);
    m_count = 0;
    m_filtered = false;
    m_visible.clear();
    std::unordered_map<qint64, std::uint32_t>().swap(m_storedOf);
    m_storedOfMade = false;
}

void RecordListModel::beginFill() {
    beginResetModel();
    dropRows();
    m_filling = true;
    endResetModel();
}

void RecordListModel::appendRow(const Value* values) {
    for (std::size_t c = 0; c < m_stores.size(); ++c)
        m_stores[c]->append(values[c], m_count);
    ++m_count;
}

void RecordListModel::publish() {
    const auto shown = static_cast<std::uint32_t>(m_order.size());
    if (m_count == shown)
        return;
    beginInsertRows({}, static_cast<int>(shown), static_cast<int>(m_count) - 1);
    m_order.resize(m_count);
    std::iota(m_order.begin() + shown, m_order.end(), shown);
    endInsertRows();
}

void RecordListModel::finishFill() {
    publish();
    m_filling = false;
    if (m_sorted && !m_order.empty())
        resort();
    emit rowsReplaced();
}

void RecordListModel::ensureComplete() {
    if (m_filling && m_completer)
        m_completer();
}

void RecordListModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    dropRows();
    m_filling = false;
    std::vector<Value> values(m_columns.size());
    std::vector<QByteArray> utf8(m_columns.size());
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < m_columns.size(); ++c) {
            const QString text = c < row.size() ? row[c] : QString();
            Value& v = values[c];
            v = {};
            if (text.isEmpty())
                continue;
            if (m_columns[c].kind == Kind::Number) {
                bool ok = false;
                const double d = text.toDouble(&ok);
                if (ok && numberText(d) == text) {
                    v.type = Value::Type::Real;
                    v.real = d;
                    continue;
                }
            }
            utf8[c] = text.toUtf8();
            v.type = Value::Type::Text;
            v.text = utf8[c].constData();
            v.size = utf8[c].size();
        }
        appendRow(values.data());
    }
    m_order.resize(m_count);
    std::iota(m_order.begin(), m_order.end(), 0u);
    if (m_sorted)
        sortOrderIndex();
    endResetModel();
    emit rowsReplaced();
}

void RecordListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount())
        return;
    ensureComplete();
    m_sorted = true;
    m_sortColumn = column;
    m_sortOrder = order;
    resort();
}

void RecordListModel::resort() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> storedBefore;
    storedBefore.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& idx : before)
        storedBefore.push_back(storedRow(idx.row()));
    std::vector<char> shown;
    if (m_filtered) {
        shown.assign(m_count, 0);
        for (int v : m_visible)
            shown[m_order[static_cast<std::size_t>(v)]] = 1;
    }
    sortOrderIndex();
    if (m_filtered) {
        // The shown rows are the same stored rows, at their new places.
        m_visible.clear();
        for (std::size_t i = 0; i < m_order.size(); ++i)
            if (shown[m_order[i]])
                m_visible.push_back(static_cast<int>(i));
    }
    QModelIndexList after;
    after.reserve(before.size());
    if (!before.isEmpty()) {
        std::vector<int> positionOf(m_count, -1);
        for (int row = 0; row < rowCount(); ++row)
            positionOf[storedRow(row)] = row;
        for (qsizetype i = 0; i < before.size(); ++i)
            after.append(index(positionOf[storedBefore[static_cast<std::size_t>(i)]], before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// ---------------------------------------------------------------- patching

const std::unordered_map<qint64, std::uint32_t>& RecordListModel::storedRecords() const {
    if (!m_storedOfMade) {
        m_storedOf.reserve(m_order.size());
        for (std::uint32_t stored : m_order)
            m_storedOf[m_stores[0]->recordId(stored)] = stored;
        m_storedOfMade = true;
    }
    return m_storedOf;
}

bool RecordListModel::hasRecord(qint64 id) const {
    return storedRecords().count(id) > 0;
}

int RecordListModel::rowOfRecord(qint64 id) const {
    const auto known = storedRecords().find(id);
    const int at = known == m_storedOf.end() ? -1 : positionOf(known->second);
    if (at < 0 || !m_filtered)
        return at;
    const auto shown = std::lower_bound(m_visible.begin(), m_visible.end(), at);
    return shown != m_visible.end() && *shown == at ? static_cast<int>(shown - m_visible.begin()) : -1;
}

int RecordListModel::positionOf(std::uint32_t stored) const {
    const auto it = std::find(m_order.begin(), m_order.end(), stored);
    return it == m_order.end() ? -1 : static_cast<int>(it - m_order.begin());
}

bool RecordListModel::sortsBefore(std::uint32_t a, std::uint32_t b) const {
    const int c = m_stores[static_cast<std::size_t>(m_sortColumn)]->compare(a, b);
    return m_sortOrder == Qt::DescendingOrder ? c > 0 : c < 0;
}

int RecordListModel::placeFor(std::uint32_t stored) const {
    if (!m_sorted)
        return static_cast<int>(m_order.size());
    // After the rows it ties with, as a stable sort would leave a row that came last.
    const auto it = std::upper_bound(m_order.begin(), m_order.end(), stored,
                                     [this](std::uint32_t a, std::uint32_t b) { return sortsBefore(a, b); });
    return static_cast<int>(it - m_order.begin());
}

void RecordListModel::changeFilteredOrder(const std::function<void()>& change, std::uint32_t added,
                                          std::uint32_t replaced) {
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<std::uint32_t> storedBefore;
    for (const QModelIndex& idx : before)
        storedBefore.push_back(storedRow(idx.row()));
    std::vector<char> shown(m_count, 0);
    for (int v : m_visible)
        shown[m_order[static_cast<std::size_t>(v)]] = 1;
    if (added != Store::noId)
        shown[added] = replaced != Store::noId ? shown[replaced] : 1;
    change();
    m_visible.clear();
    std::unordered_map<std::uint32_t, int> rowOf;
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        if (m_order[i] < shown.size() && shown[m_order[i]]) {
            rowOf[m_order[i]] = static_cast<int>(m_visible.size());
            m_visible.push_back(static_cast<int>(i));
        }
    }
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        const auto it = rowOf.find(storedBefore[static_cast<std::size_t>(i)]);
        after.append(it == rowOf.end() ? QModelIndex() : index(it->second, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void RecordListModel::patchRecord(const Value* values) {
    storedRecords();
    const std::uint32_t stored = m_count;
    appendRow(values);
    const qint64 id = m_stores[0]->recordId(stored);
    const auto known = m_storedOf.find(id);
    m_patched = true;
    if (known == m_storedOf.end()) {
        m_storedOf[id] = stored;
        if (m_filtered) {
            changeFilteredOrder([&] { m_order.insert(m_order.begin() + placeFor(stored), stored); }, stored,
                                Store::noId);
            return;
        }
        const int at = placeFor(stored);
        beginInsertRows({}, at, at);
        m_order.insert(m_order.begin() + at, stored);
        endInsertRows();
        return;
    }
    const std::uint32_t old = std::exchange(known->second, stored);
    const int at = positionOf(old);
    if (at < 0)
        return;
    const auto position = static_cast<std::size_t>(at);
    m_order[position] = stored;
    // Still in order between its neighbours: it stays where it is.
    const bool inOrder = !m_sorted || ((at == 0 || !sortsBefore(stored, m_order[position - 1])) &&
                                       (position + 1 == m_order.size() || !sortsBefore(m_order[position + 1], stored)));
    if (inOrder) {
        if (!m_filtered) {
            emit dataChanged(index(at, 0), index(at, columnCount() - 1));
        } else {
            const auto shown = std::lower_bound(m_visible.begin(), m_visible.end(), at);
            if (shown != m_visible.end() && *shown == at) {
                const int row = static_cast<int>(shown - m_visible.begin());
                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            }
        }
        return;
    }
    m_order.erase(m_order.begin() + at);
    const int to = placeFor(stored);
    if (m_filtered) {
        // The record keeps being shown or hidden: its new stored row takes the old one's part.
        m_order.insert(m_order.begin() + at, old);
        changeFilteredOrder(
            [&] {
                m_order.erase(m_order.begin() + at);
                m_order.insert(m_order.begin() + to, stored);
            },
            stored, old);
        return;
    }
    m_order.insert(m_order.begin() + at, stored);
    if (to == at) { // among rows it ties with: where it was
        emit dataChanged(index(at, 0), index(at, columnCount() - 1));
        return;
    }
    beginMoveRows({}, at, at, {}, to > at ? to + 1 : to);
    m_order.erase(m_order.begin() + at);
    m_order.insert(m_order.begin() + to, stored);
    endMoveRows();
}

void RecordListModel::removeRecord(qint64 id) {
    storedRecords();
    const auto known = m_storedOf.find(id);
    if (known == m_storedOf.end())
        return;
    const std::uint32_t stored = known->second;
    m_storedOf.erase(known);
    const int at = positionOf(stored);
    if (at < 0)
        return;
    m_patched = true;
    if (m_filtered) {
        changeFilteredOrder([&] { m_order.erase(m_order.begin() + at); }, Store::noId, Store::noId);
        return;
    }
    beginRemoveRows({}, at, at);
    m_order.erase(m_order.begin() + at);
    endRemoveRows();
}

void RecordListModel::endPatch() {
    if (std::exchange(m_patched, false))
        emit rowsPatched();
}

void RecordListModel::sortOrderIndex() {
    const Store& store = *m_stores[static_cast<std::size_t>(m_sortColumn)];
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    const std::size_t n = m_order.size();
    constexpr double lowest = -std::numeric_limits<double>::infinity();

    // Each shown row with its place now: rows that compare equal keep the order they had.
    std::vector<SortEntry> entries(n);
    for (std::size_t i = 0; i < n; ++i)
        entries[i] = {0, static_cast<std::uint32_t>(i), m_order[i]};

    switch (store.kind) {
    case Kind::Number:
        // Numbers by value; empty or unreadable cells sort before every number.
        for (SortEntry& e : entries) {
            const double v = store.numbers[e.stored];
            if (!std::isnan(v)) {
                e.key = v;
            } else {
                bool ok = false;
                const double parsed = store.odd.value(e.stored).toDouble(&ok);
                e.key = ok ? parsed : lowest;
            }
        }
        sortEntries(entries, descending);
        break;
    case Kind::Date:
        if (store.odd.isEmpty()) {
            // Days are in date order, as ISO texts are; empty cells first.
            for (SortEntry& e : entries) {
                const std::int32_t day = store.days[e.stored];
                e.key = day == noDate ? lowest : static_cast<double>(day);
            }
            sortEntries(entries, descending);
        } else {
            // Some dates are odd texts: compare the stored texts, as texts.
            std::vector<QString> texts(m_count);
            for (const SortEntry& e : entries)
                texts[e.stored] = store.text(e.stored);
            std::stable_sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
                const int c = QString::compare(texts[a.stored], texts[b.stored], Qt::CaseSensitive);
                return descending ? c > 0 : c < 0;
            });
        }
        break;
    case Kind::Text:
        if (store.repeated) {
            // The dictionary is small: rank its texts once, then sort rows by rank.
            std::vector<std::uint32_t> byText(store.dictionary.size());
            std::iota(byText.begin(), byText.end(), 0u);
            std::stable_sort(byText.begin(), byText.end(), [&](std::uint32_t a, std::uint32_t b) {
                return QString::compare(store.dictionary[a], store.dictionary[b], Qt::CaseInsensitive) < 0;
            });
            std::vector<double> rank(store.dictionary.size());
            for (std::size_t i = 0; i < byText.size(); ++i) {
                const bool sameAsBefore =
                    i > 0 && QString::compare(store.dictionary[byText[i]], store.dictionary[byText[i - 1]],
                                              Qt::CaseInsensitive) == 0;
                rank[byText[i]] = sameAsBefore ? rank[byText[i - 1]] : static_cast<double>(i);
            }
            for (SortEntry& e : entries)
                e.key = rank[store.ids[e.stored]];
            sortEntries(entries, descending);
        } else {
            store.sortTexts(entries, descending);
        }
        break;
    }
    for (std::size_t i = 0; i < n; ++i)
        m_order[i] = entries[i].stored;
}
