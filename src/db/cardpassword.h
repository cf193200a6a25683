#pragma once

#include <QString>

class Connection;

// The longest password the user may give, in GBK bytes.
constexpr int MaxPasswordBytes = 64;

// Sets, changes or removes the user's own password of the card file that cards is connected
// to. The file is re-keyed in place (rekeyCardFile): killed at any point, it opens with the
// old key or the new one and holds every card. Afterwards cards, and every connection made
// from then on, use the new key. An empty password gives the file the built-in key back.
// Throws EngineError with a message for the user; the file and its key then stay as they were.
void changeCardPassword(Connection& cards, const QString& password);

// Whether the card file at path has a password of the user's own: it does not open with the
// built-in key. A file that is not there yet, or that fails otherwise, asks for none here.
bool cardFileNeedsPassword(const QString& path);
// Whether password opens the card file at path; if it does, every connection made from then
// on uses it.
bool useCardPassword(const QString& path, const QString& password);
