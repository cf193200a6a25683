#pragma once

#include <QString>

// The three lookup lists, each a table of names.
enum class Lookup { Category, Sex, Province };

// Every name of the list, in the column theName.
QString lookupListStatement(Lookup list);
