#include "ReportDesigns.h"

#include "app/Connection.h"
#include "app/Database.h"

#include <QFontDatabase>
#include <QSet>

namespace Reports {

// ---------------------------------------------------------------- fonts and design helpers

QString reportFontFamily() {
    static const QString family = [] {
        const QString arial = QStringLiteral("Arial");
        if (QFontDatabase::hasFamily(arial))
            return arial;
        const QString liberation = QStringLiteral("Liberation Sans");
        if (QFontDatabase::hasFamily(liberation))
            return liberation;
        return arial; // let the font matcher pick its nearest substitute
    }();
    return family;
}

QFont ReportFont::toQFont() const {
    QFont font(reportFontFamily());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    // Device-independent glyph advances: the same line breaks on screen, printer and PDF.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QString ReportDesign::title() const {
    for (const ReportControl& c : reportHeader.controls)
        if (c.kind == ReportControl::Kind::Label && c.name == QLatin1String("Label1"))
            return c.caption;
    return {};
}

QStringList ReportDesign::fieldNames() const {
    QStringList names;
    for (const ReportSection* s : {&reportHeader, &pageHeader, &detail, &pageFooter, &reportFooter})
        for (const ReportControl& c : s->controls)
            if (c.kind == ReportControl::Kind::Field && !names.contains(c.field, Qt::CaseInsensitive))
                names << c.field;
    return names;
}

namespace {

// The field that markMilestones() adds to the task report's rows.
const QString milestoneField = QStringLiteral("Milestone");

// Dates print as the lists and editors show them.
const QString kDateFormat = QStringLiteral("short");

ReportFont defaultFont() {
    return {};
}
ReportFont boldFont() {
    return {8.25, true, false};
}

bool isDateField(const QString& field) {
    return field == QLatin1String("StartDate") || field == QLatin1String("EndDate") ||
           field == QLatin1String("DueDate");
}

// Names controls as the design tool would: Label1, Label2 ... and Text1, Text2 ...
class DesignBuilder {
public:
    DesignBuilder(const QString& name, const QString& caption, int width, const QString& title) {
        m_design.name = name;
        m_design.caption = caption;
        m_design.width = width;
        m_design.reportHeader = {QStringLiteral("Section4"), 435, false, {}};
        m_design.pageHeader = {QStringLiteral("Section2"), 0, false, {}};
        m_design.detail = {QStringLiteral("Section1"), 0, false, {}};
        m_design.pageFooter = {QStringLiteral("Section3"), 0, false, {}};
        m_design.reportFooter = {QStringLiteral("Section5"), 0, false, {}};
        label(m_design.reportHeader, title, 0, 144, 4032, 432, {15.75, true, true});
    }

    void label(ReportSection& section, const QString& caption, int top, int left, int width, int height,
               ReportFont font) {
        ReportControl c;
        c.kind = ReportControl::Kind::Label;
        c.name = QStringLiteral("Label") + QString::number(++m_labels);
        c.caption = caption;
        c.top = top;
        c.left = left;
        c.width = width;
        c.height = height;
        c.font = font;
        section.controls << c;
    }

    ReportControl& field(ReportSection& section, const QString& field, int top, int left, int width, int height,
                         ReportFont font) {
        ReportControl c;
        c.kind = ReportControl::Kind::Field;
        c.name = QStringLiteral("Text") + QString::number(++m_fields);
        c.field = field;
        c.top = top;
        c.left = left;
        c.width = width;
        c.height = height;
        c.font = font;
        if (isDateField(field))
            c.dateFormat = kDateFormat;
        section.controls << c;
        return section.controls.last();
    }

    ReportDesign& design() { return m_design; }

private:
    ReportDesign m_design;
    int m_labels = 0;
    int m_fields = 0;
};

struct Column {
    const char* caption;
    const char* field;
    int left;
    int captionWidth;
    int fieldWidth;
};

// A project list: one bold caption per column in the page header, one field per column below.
ReportDesign projectList(const QString& name, const QString& caption, int width, const QString& title,
                         int pageHeaderHeight, int detailHeight, int reportFooterHeight,
                         std::initializer_list<Column> columns) {
    DesignBuilder b(name, caption, width, title);
    ReportDesign& d = b.design();
    d.pageHeader.height = pageHeaderHeight;
    d.detail.height = detailHeight;
    d.reportFooter.height = reportFooterHeight;
    for (const Column& col : columns)
        b.label(d.pageHeader, QString::fromLatin1(col.caption), 0, col.left, col.captionWidth, 240, boldFont());
    for (const Column& col : columns)
        b.field(d.detail, QString::fromLatin1(col.field), 0, col.left, col.fieldWidth, 240, defaultFont());
    return d;
}

} // namespace

// ---------------------------------------------------------------- the designs

ReportDesign rptOpenProjects() {
    return projectList(QStringLiteral("rptOpenProjects"), QStringLiteral("Open Issues"), 10650,
                       QStringLiteral("Open Projects"), 330, 360, 570,
                       {{"ID", "ID", 0, 720, 720},
                        {"Project Name", "ProjectName", 720, 2016, 2016},
                        {"Owner", "OwnerName", 2736, 1440, 1440},
                        {"Category", "Category", 4176, 1440, 1440},
                        {"Priority", "Priority", 5616, 1008, 1005},
                        {"Status", "Status", 6624, 1440, 1440},
                        {"Start Date", "StartDate", 8064, 1152, 1161},
                        {"End Date", "EndDate", 9216, 1440, 1440}});
}

ReportDesign rptProjectsByCategory() {
    return projectList(QStringLiteral("rptProjectsByCategory"), QStringLiteral("Issues By Category"), 10521,
                       QStringLiteral("Projects By Category"), 270, 300, 0,
                       {{"Category", "Category", 0, 1440, 1440},
                        {"Owner", "OwnerName", 1440, 1440, 1440},
                        {"Project Name", "ProjectName", 2880, 2736, 2736},
                        {"Status", "Status", 5616, 1008, 1005},
                        {"End Date", "EndDate", 6624, 1140, 1155},
                        {"Priority", "Priority", 7776, 1440, 1440},
                        {"Start Date", "StartDate", 9216, 1305, 1305}});
}

ReportDesign rptProjectsByStatus() {
    return projectList(QStringLiteral("rptProjectsByStatus"), QStringLiteral("Issues By Status"), 10521,
                       QStringLiteral("Projects By Status"), 300, 270, 0,
                       {{"Status", "Status", 0, 1020, 1005},
                        {"End Date", "EndDate", 1008, 1140, 1155},
                        {"Project Name", "ProjectName", 2160, 2730, 2730},
                        {"Owner", "OwnerName", 4896, 1440, 1440},
                        {"Priority", "Priority", 6336, 1440, 1440},
                        {"Category", "Category", 7776, 1440, 1440},
                        {"Start Date", "StartDate", 9216, 1305, 1305}});
}

ReportDesign rptProjectsByAssigned() {
    return projectList(QStringLiteral("rptProjectsByAssigned"), QStringLiteral("Issues By Assigned To"), 10521,
                       QStringLiteral("Issues By Owner"), 270, 240, 0,
                       {{"Owner", "OwnerName", 0, 1440, 1440},
                        {"Status", "Status", 1440, 1020, 1005},
                        {"Project Name", "ProjectName", 2448, 2730, 2730},
                        {"End Date", "EndDate", 5184, 1140, 1155},
                        {"Priority", "Priority", 6336, 1440, 1440},
                        {"Category", "Category", 7776, 1440, 1440},
                        {"Start Date", "StartDate", 9216, 1305, 1305}});
}

ReportDesign rptIssueDetails() {
    DesignBuilder b(QStringLiteral("rptIssueDetails"), QStringLiteral("Issues Details"), 11376,
                    QStringLiteral("Issues Details"));
    ReportDesign& d = b.design();
    d.detail.height = 2730;
    d.detail.keepTogether = true;
    d.reportFooter.height = 570;
    ReportSection& s = d.detail;
    const ReportFont big{12, false, false};
    const ReportFont bigBold{12, true, false};
    const ReportFont bold = boldFont();
    const ReportFont plain = defaultFont();

    b.label(s, QStringLiteral("Project:"), 0, 0, 1140, 570, bigBold);
    b.field(s, QStringLiteral("ProjID"), 0, 1134, 720, 570, big);
    b.field(s, QStringLiteral("ProjectName"), 0, 2268, 9071, 570, big);

    b.label(s, QStringLiteral("Issue:"), 567, 0, 720, 240, bold);
    b.field(s, QStringLiteral("TaskID"), 567, 720, 720, 240, plain);
    b.field(s, QStringLiteral("Title"), 567, 1440, 9936, 240, plain);

    b.label(s, QStringLiteral("Assigned To:"), 999, 0, 1440, 240, bold);
    b.field(s, QStringLiteral("AssignedTo"), 999, 1440, 1440, 240, plain);
    b.label(s, QStringLiteral("Status:"), 999, 3609, 1020, 240, bold);
    b.field(s, QStringLiteral("Status"), 999, 5049, 1005, 240, plain);

    b.label(s, QStringLiteral("Opened By:"), 1287, 0, 1440, 240, bold);
    b.field(s, QStringLiteral("OwnerName"), 1287, 1440, 1440, 240, plain);
    b.label(s, QStringLiteral("Category:"), 1287, 3609, 1440, 240, bold);
    b.field(s, QStringLiteral("Category"), 1287, 5049, 1440, 240, plain);

    b.label(s, QStringLiteral("Opened Date:"), 1575, 0, 1305, 240, bold);
    b.field(s, QStringLiteral("StartDate"), 1575, 1440, 1305, 240, plain).milestoneField = milestoneField;
    b.label(s, QStringLiteral("Priority:"), 1575, 3609, 1440, 240, bold);
    b.field(s, QStringLiteral("Priority"), 1575, 5049, 1440, 240, plain);

    b.label(s, QStringLiteral("Due Date:"), 1863, 3609, 1140, 240, bold);
    b.field(s, QStringLiteral("DueDate"), 1863, 5049, 1155, 240, plain).milestoneField = milestoneField;

    b.field(s, QStringLiteral("Description"), 2268, 0, 9930, 285, plain).canGrow = true;
    return d;
}

// ---------------------------------------------------------------- the report window's choices

QString taskReportQuery() {
    return QStringLiteral(
               "SELECT [Open Projects].ID As ProjID, [Open Projects].ProjectName, [Open Tasks].ID As TaskID, "
               "[Open Tasks].Title, [Open Tasks].AssignedTo, [Open Projects].OwnerName, [Open Tasks].StartDate, "
               "[Open Tasks].Status, [Open Projects].Category, [Open Tasks].Priority, [Open Tasks].DueDate, "
               "[Open Tasks].Description ") +
           QStringLiteral(
               "FROM [Open Tasks] INNER JOIN [Open Projects] ON [Open Tasks].ProjectID = [Open Projects].ID ") +
           QStringLiteral("ORDER BY [Open Projects].StartDate, [Open Tasks].DueDate, [Open Tasks].Priority, "
                          "[Open Tasks].Status, [Open Tasks].StartDate");
}

const QVector<ReportChoice>& reportChoices() {
    static const QVector<ReportChoice> choices{
        {QStringLiteral("Open Projects"), QStringLiteral("select * from [Open Projects] order by ProjectName"),
         &rptOpenProjects},
        {QStringLiteral("Projects by Categories"), QStringLiteral("select * from [Open Projects] order by Category"),
         &rptProjectsByCategory},
        {QStringLiteral("Projects by Status"), QStringLiteral("select * from [Open Projects] order by Status"),
         &rptProjectsByStatus},
        {QStringLiteral("Projects by Owner"), QStringLiteral("select * from [Open Projects] order by [OwnerName]"),
         &rptProjectsByAssigned},
        {QStringLiteral("Project Tasks"), taskReportQuery(), &rptIssueDetails},
    };
    return choices;
}

void markMilestones(ReportTable& rows) {
    const int task = rows.column(QStringLiteral("TaskID"));
    const Connection* connection = Database::shared().connection();
    if (task < 0 || rows.rowCount() == 0 || !connection || !connection->hasPlanner())
        return;
    QSet<qint64> milestones;
    for (ResultSet rs = Database::shared().query(QStringLiteral("select ID from Tasks where Milestone = true"));
         !rs.eof(); rs.moveNext())
        milestones.insert(rs.value(0).toLongLong());
    if (milestones.isEmpty())
        return;
    const int mark = rows.addColumn(milestoneField);
    const int start = rows.column(QStringLiteral("StartDate"));
    const int due = rows.column(QStringLiteral("DueDate"));
    for (int r = 0; r < rows.rowCount(); ++r) {
        if (!milestones.contains(rows.value(r, task).toLongLong()))
            continue;
        rows.setValue(r, mark, true);
        if (start >= 0 && due >= 0) {
            if (!rows.value(r, due).isNull())
                rows.setValue(r, start, rows.value(r, due));
            else
                rows.setValue(r, due, rows.value(r, start));
        }
    }
}

QStringList boundFieldNames() {
    QStringList names;
    for (const ReportChoice& choice : reportChoices())
        for (const QString& field : choice.create().fieldNames())
            if (!names.contains(field, Qt::CaseInsensitive))
                names << field;
    return names;
}

} // namespace Reports
