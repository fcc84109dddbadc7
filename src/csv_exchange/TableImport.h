// Importing CSV files into the tables: which header names mean which field, a check of every row
// that says which rows will be added and which are refused and why, and the writing of all
// accepted rows in one transaction.
#pragma once

#include "Csv.h"
#include "CsvCells.h"

#include <QDate>
#include <QHash>
#include <QSet>

#include <optional>
#include <vector>

enum class ImportKind { ValueLists, Contacts, Projects, Tasks }; // in the order they are written

struct ImportField {
    const char* key;   // the table column, or a helper field (FullName, OwnerName, AssignedTo...)
    const char* label; // as the preview shows it
    CsvCells::Kind kind;
    std::vector<const char*> names; // header names that mean this field, in normalised form
};

namespace ImportFields {
const std::vector<ImportField>& of(ImportKind kind);
// Lower case, letters and digits only: "E-mail 1 - Value" gives "email1value".
QString normalisedHeader(const QString& header);
// The field that a header names, or -1.
int match(ImportKind kind, const QString& header);
// "contacts", "projects", "tasks", "value-list entries".
QString rowsName(ImportKind kind);
// A count of rows in words: "1 contact", "3 contacts", "1 value-list entry".
QString countOf(ImportKind kind, int count);
} // namespace ImportFields

// A transaction on the shared connection: begun on construction, rolled back on destruction
// unless committed.
class ImportTransaction {
public:
    ImportTransaction();
    ~ImportTransaction();
    ImportTransaction(const ImportTransaction&) = delete;
    ImportTransaction& operator=(const ImportTransaction&) = delete;
    void commit();

private:
    bool m_open = false;
};

// A row of a file with what the preview says about it: why it is refused, skipped, or changed.
struct RefusedRow {
    int line;
    QString reason;
};

// One file of an import, with the mapping of its columns to the fields of its table.
class ImportFile {
public:
    ImportFile(QString path, ImportKind kind, CsvTable table);

    QString path;
    ImportKind kind;
    CsvTable table;
    QString encoding;                   // as the reader recognised it, for the preview
    QChar separator = QLatin1Char(','); // as the reader found it in the header row, for the preview
    // For each CSV column, the index of its field in ImportFields::of(kind), or -1 (not imported).
    std::vector<int> mapping;
    bool kindRecognised = true; // false: no column name was known, so every column starts unmapped
    bool kindFixed = false;     // the import takes one kind only (contacts)
    // Rows that match an existing contact (or an earlier row) are skipped unless this is set.
    bool includeDuplicates = false;

    // The outcome of the last check.
    int accepted = 0;
    std::vector<RefusedRow> refused;
    std::vector<RefusedRow> duplicates; // skipped (or, with includeDuplicates, added anyway)
    std::vector<RefusedRow> notes;      // rows imported with a change the user should know of
    bool keepIds = false;               // IDs of the file are kept (the table was empty)

    QString fileName() const;
    // The key of the field that a column is mapped to, or the empty text.
    QString mappedKey(int column) const;
    // Maps a column to a field (-1: not imported); the caller checks the batch again.
    void setMapping(int column, int field);
    // Maps every column by its name, or leaves them all unmapped.
    void mapByNames();
    void unmapAll();

private:
    friend class ImportBatch;
    struct Row {
        int line;
        QHash<QString, QString> values; // field key -> cell (texts without their formula guard)
        std::optional<qint64> id;
    };
    std::vector<Row> m_rows; // the accepted rows
};

class ImportBatch {
public:
    // Reads what the check needs from the shared connection (throws DbError).
    ImportBatch();

    // The kind of table that a header belongs to, when it is recognisable.
    static std::optional<ImportKind> recognise(const QStringList& header);

    // Adds a file; the files keep the order they were added in (they are checked and written in
    // the order that lets later rows refer to earlier ones).
    ImportFile& add(QString path, ImportKind kind, CsvTable table, QString encoding = QString(),
                    QChar separator = QLatin1Char(','));
    std::vector<ImportFile>& files() { return m_files; }
    const std::vector<ImportFile>& files() const { return m_files; }

    // Reads a file again in another encoding (columns mapped anew by their names); the reason
    // when it cannot be read, else the empty text. The caller checks the batch again.
    QString reread(size_t file, const QString& encoding);
    // What the rows of a file become (columns mapped anew by their names).
    void setKind(size_t file, ImportKind kind);

    // What happens to a project or task row that lacks a value every record must have (a date,
    // an amount): it is refused, or the value is filled in with its default.
    enum class MissingValues { Refuse, FillDefaults };
    MissingValues missingValues = MissingValues::Refuse;
    // The day that a missing start date becomes.
    QDate today = QDate::currentDate();
    // The defaults in words, for the preview.
    QString defaultsText() const;

    // Checks every row of every file with its current mapping.
    void check();
    int rowsToAdd() const;
    // "12 projects and 30 tasks will be added; 2 rows are refused." for the preview.
    QString summary() const;

    struct Outcome {
        bool ok = false;
        QString message;
    };
    // Writes the accepted rows in one transaction: all of them or, on any failure, none.
    Outcome apply();

private:
    // The files in the order they are checked and written: value lists, contacts, projects, tasks.
    std::vector<size_t> writingOrder() const;

    QHash<QString, QString> m_contactKeys; // first|last|e-mail in lower case -> the contact's name
    QSet<qint64> m_contactIds;
    QSet<qint64> m_projectIds;
    QHash<QString, qint64> m_rowCounts;         // table -> rows before the import
    QHash<QString, QSet<QString>> m_valueLists; // list -> entries in lower case
    std::vector<ImportFile> m_files;
};

// The preview of an import: shows the batch, lets the user change the mappings, and says whether
// to go on. The program installs the dialog; tests install a scripted review.
class ImportReview {
public:
    virtual ~ImportReview() = default;
    virtual bool confirm(ImportBatch& batch) = 0;

    // Never null: without an installed review every import is cancelled.
    static ImportReview& current();
    static bool isInstalled();
    // Installs an instance (not owned); nullptr removes it.
    static void install(ImportReview* review);
};
