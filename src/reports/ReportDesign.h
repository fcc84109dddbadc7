// A report design as plain data: page margins, the five bands and their controls, all in twips.
// The renderer (ReportRenderer.h) lays a design out over a table of rows.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <QVector>

namespace Reports {

struct ReportFont {
    double pointSize = 8.25;
    bool bold = false;
    bool italic = false;

    // The font on the machine: Arial where it is installed, otherwise its metric-compatible
    // twin Liberation Sans, so the pages look the same everywhere.
    QFont toQFont() const;
    friend bool operator==(const ReportFont&, const ReportFont&) = default;
};

// The family used for every report font (resolved once).
QString reportFontFamily();

struct ReportControl {
    enum class Kind { Label, Field };

    Kind kind = Kind::Label;
    QString name;    // Label1, Text3 ...
    QString caption; // labels
    QString field;   // fields: the column name in the bound rows
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 240;
    ReportFont font;
    QString dateFormat;   // "short": as every window shows dates; or e.g. "M/d/yyyy"; empty: the value as it is
    bool canGrow = false; // the box grows downwards with its (word-wrapped) text
    // A field of the rows that is true for a milestone: its dates print after the milestone mark.
    // Rows without that field print as they are.
    QString milestoneField;
};

struct ReportSection {
    QString name; // Section1 ...
    int height = 0;
    bool keepTogether = false; // never split over two pages when it fits on one
    QVector<ReportControl> controls;
};

struct ReportDesign {
    QString name;    // rptOpenProjects ...
    QString caption; // the preview window's caption
    int width = 0;   // report width: every section is this wide
    int leftMargin = 1440;
    int rightMargin = 1440;
    int topMargin = 1440;
    int bottomMargin = 1440;

    ReportSection reportHeader; // once, at the top of the first page
    ReportSection pageHeader;   // at the top of every page
    ReportSection detail;       // once per row
    ReportSection pageFooter;   // at the bottom of every page
    ReportSection reportFooter; // once, after the last row

    // The text of the title label (Label1 of the report header).
    QString title() const;
    // The bound field names of all sections, in the order the controls appear.
    QStringList fieldNames() const;
};

} // namespace Reports
