#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks of this run.
//   --server "<connection>"            the cards on that server, for this run only
//   --copy-to-server "<connection>"    copy the local card file to that (empty) server register
//   --copy-from-server "<connection>"  copy that server register to the local card file (empty)
// The connection is libpq's: "host=… dbname=… user=…" or a postgresql:// address.
struct CommandLine {
    QString server;
    QString copyToServer;
    QString copyFromServer;
    QString error; // a flag without its connection

    bool copies() const { return !copyToServer.isEmpty() || !copyFromServer.isEmpty(); }
};

CommandLine parseCommandLine(const QStringList& arguments);

// Runs a copy the command line asks for, between the server and the card file of the
// program folder; prints what was copied, or why nothing was. Returns the exit code (0 when
// copied). Needs a running application object.
int runCopyCommand(const CommandLine& command);
