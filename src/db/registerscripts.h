#pragma once

#include <QString>

// The scripts that make a new card register: the server's tables, indexes, triggers and
// functions (serverschema.sql, then the rules of serverrules.sql), and the rows every new register
// starts with, the lookup lists and the default row, taken from the card file's own script
// (schema.sql) so that both engines start from the same rows.
QString serverSchemaScript();
QString registerRowsScript();
// The tables, indexes and change notices alone (serverschema.sql), as the first version made them.
QString serverTablesScript();
// The register's rules alone (serverrules.sql), which bring a register made by an earlier
// version up to date and may run again on one that is.
QString registerRulesScript();
