// Finding the task lists of a CalDAV account (RFC 4791, RFC 5397): the URL's own collection when
// it is one, else the user's principal, its calendar home and the collections there that take
// to-dos; and a new task list made with MKCALENDAR.
#pragma once

#include "CalDav.h"

#include <QList>
#include <QString>

#include <functional>

namespace CalendarSync {

struct TaskList {
    QString url; // full URL, without the user
    QString name;
};

struct Found {
    QList<TaskList> lists;
    QString home; // the calendar home's URL, where new task lists are made (empty: unknown)
    QString error;
};

void discover(CalDav::Client& client, std::function<void(const Found&)> done);
// Makes a task list named `name` in the home; done gets its URL, or an empty text and the error.
void makeTaskList(CalDav::Client& client, const QString& home, const QString& name,
                  std::function<void(const QString& url, const QString& error)> done);

} // namespace CalendarSync
