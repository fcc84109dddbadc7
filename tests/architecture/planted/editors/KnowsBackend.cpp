// An editor that knows the team backend: the check must refuse it.
#include "team_database/PgConnection.h"
