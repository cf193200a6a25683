#pragma once

#include <QString>

// The one way a text value enters a statement. The statements of this program put values
// between single quotes; sqlText() gives the part that goes between them, so that no value
// can end its literal early or change what the statement does:
//   "... BName='" + sqlText(name) + "' ..."
// A quote is doubled. A NUL character, which cannot stand inside an SQLite literal, is
// spliced in as '||char(0)||' so the value still arrives whole.
QString sqlText(const QString& value);

// A key spliced into a statement as a bare number ("... where ID=" + sqlId(id)).
// Throws EngineError unless the text is a plain decimal integer.
QString sqlId(const QString& id);
