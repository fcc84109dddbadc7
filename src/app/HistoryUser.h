// Who the history names for the changes made by this program on a local file.
#pragma once

#include <QString>

namespace HistoryUser {
// The desktop user's login name.
QString localName();
} // namespace HistoryUser
