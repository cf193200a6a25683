#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of this run.
//   --server "<connection>"            the cards on that server, for this run only
//   --copy-to-server "<connection>"    copy the local card file to that (empty) server register
//   --copy-from-server "<connection>"  copy that server register to the local card file (empty)
//   --scan FILE…                       read card photos, print their fields as JSON
//   -h, --help / -v, --version         the usage or the version, printed
// The connection is libpq's: "host=… dbname=… user=…" or a postgresql:// address. A value
// follows its option as the next argument or after "=". Qt's own options (-platform, -style,
// …) are left to Qt; any other argument is an error.
struct CommandLine {
    QString program = QStringLiteral("orvane-cards"); // the name the program was started by
    QString server;
    QString copyToServer;
    QString copyFromServer;
    QStringList scanFiles; // the photos after --scan
    bool help = false;
    bool version = false;
    QString error; // an unknown option, or an option without its value

    bool copies() const { return !copyToServer.isEmpty() || !copyFromServer.isEmpty(); }
    // The run prints something and ends: no window opens.
    bool endsWithoutWindow() const {
        return help || version || !error.isEmpty() || copies() || !scanFiles.isEmpty();
    }
};

CommandLine parseCommandLine(const QStringList& arguments);

// The usage --help prints: every option and examples, in Chinese.
QString usageText(const QString& program);

// Runs a command line that ends without a window (endsWithoutWindow): prints the usage, the
// version or the error, reads the photos of --scan, or runs the copy between the server and the
// card file of the program folder and prints what was copied, or why nothing was. Returns the exit
// code: 0 when done, 1 when a copy failed, 2 for a command line in error. Needs a running
// application object.
int runWithoutWindow(const CommandLine& command);
