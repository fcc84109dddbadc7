// The five report designs and the choices of the report window: list text, query, design.
#pragma once

#include "ReportDesign.h"

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

// Every field name that some design binds to.
QStringList boundFieldNames();

} // namespace Reports
