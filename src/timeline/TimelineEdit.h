// Moving a project or task in time: the stored record is checked the way its editor checks it
// and written with the editor's one update statement, only the two dates changed.
#pragma once

#include <QDate>
#include <QString>

namespace Timeline {

enum class SaveResult {
    Saved,
    Refused, // a check failed; its message was shown
    Failed,  // reading or writing failed; the error box was shown
    Gone,    // the record no longer exists; the user was told
};

// Sets the start and end (a task's due) date of a project or task. Messages go through the
// message interface, errors through the error trap of the timeline window.
SaveResult saveDates(bool isTask, qint64 id, QDate start, QDate end);

} // namespace Timeline
