#pragma once

#include "db/cardfields.h"

#include <QString>

// Every name of the list, in the column theName.
QString lookupListStatement(Lookup list);
