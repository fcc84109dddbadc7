// A report run: a design bound to its rows and printed in an orientation.
#pragma once

#include "ReportDesign.h"
#include "ReportTable.h"

#include <QPageLayout>

class QPagedPaintDevice;

namespace Reports {

class Report {
public:
    explicit Report(ReportDesign design)
        : m_design(std::move(design)) {}

    const ReportDesign& design() const { return m_design; }

    // Binds the rows. Rows that were never read (the query failed) cannot be bound.
    void setDataSource(const ReportTable* rows);
    const ReportTable* dataSource() const { return m_rows; }

    void setOrientation(QPageLayout::Orientation orientation) { m_orientation = orientation; }
    QPageLayout::Orientation orientation() const { return m_orientation; }

    // Throws DbError when the report cannot be printed: no rows bound, a field missing from
    // them, or a design wider than the device's page in the report's orientation.
    void check(QPagedPaintDevice& device) const;
    // Sets the device's orientation and prints every page on it; returns the page count.
    // Call before a painter is opened on the device.
    int print(QPagedPaintDevice& device) const;
    // Prints on a device that already has its painter and orientation (a print preview).
    int paint(QPainter& painter) const;

private:
    void prepare(QPagedPaintDevice& device) const;

    ReportDesign m_design;
    const ReportTable* m_rows = nullptr;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
};

} // namespace Reports
