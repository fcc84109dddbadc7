// The five report designs and the choices of the report window: list text, query, design.
#pragma once

#include "ReportDesign.h"
#include "ReportTable.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace Reports {

ReportDesign rptOpenProjects();
ReportDesign rptProjectsByCategory();
ReportDesign rptProjectsByStatus();
ReportDesign rptProjectsByAssigned();
ReportDesign rptIssueDetails();

// One entry of the report window's list.
struct ReportChoice {
    QString listText;
    QString query;
    ReportDesign (*create)();
};

// The five choices in list order.
const QVector<ReportChoice>& reportChoices();

// The query of the task report: every listed task with its project's fields.
QString taskReportQuery();

// Marks the milestones among the rows of the task report: the field "Milestone" is true for
// them, and their start date is their due date (a milestone stands on one date). Rows of a
// database without the planner's columns, rows without tasks, and tasks that are no milestones
// are left as they are. Throws DbError.
void markMilestones(ReportTable& rows);

// Every field name that some design binds to.
QStringList boundFieldNames();

} // namespace Reports
