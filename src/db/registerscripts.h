#pragma once

#include <QString>

// The scripts that make a new card register: the server's tables, indexes and triggers
// (serverschema.sql), and the rows every new register starts with, the lookup lists and the
// default row, taken from the card file's own script (schema.sql) so that both engines start
// from the same rows.
QString serverSchemaScript();
QString registerRowsScript();
