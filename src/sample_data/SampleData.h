// The example records behind "Load Sample/Example Data": two contacts, two entries in each value
// list, and three projects with one task each.
#pragma once

#include <QDate>
#include <QString>

namespace SampleData {

// The mail domain of the sample contacts: reserved for examples, so it reaches nobody.
QString mailDomain();

// Adds the sample records on the shared connection. Contacts and value-list entries are only
// topped up to two rows per table; the three projects and their tasks are added on every call.
// The projects start and end on `today`; the tasks are due 3, 2 and 5 days later. Every step
// runs under the error trap of the main window's button: a failed step shows the error box and
// the loader goes on with the next one.
// When the example projects are there already, the user is asked first (false: answered No,
// nothing added); a load after a Yes uses the example's own two contacts (by names and e-mail
// address, added again when gone) instead of the first and last contacts of the table.
bool load(const QDate& today);

// The error trap's first line number for the list refills that follow the load in the button's handler.
constexpr int refillLine = 26;

} // namespace SampleData
