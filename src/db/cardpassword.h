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
