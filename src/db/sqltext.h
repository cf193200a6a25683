#pragma once

#include <QString>

// The body of a text literal of the card file, the part between its single quotes (the file
// dialect's literal() puts them around it): a quote is doubled, and a NUL character, which
// cannot stand inside an SQLite literal, is spliced in as '||char(0)||' so the value still
// arrives whole. Tests that write to a card file directly use it too.
QString sqlText(const QString& value);
