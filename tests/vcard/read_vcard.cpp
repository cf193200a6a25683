// Reads the vCard file named on the command line as the import does, and prints what came of
// it: "rows N", or the message the user is shown. The limit tests run it as a child process,
// so that its peak memory is measured on its own; it prints that peak last.

#include "childpeak.h"
#include "db/engineerror.h"
#include "vcard/vcard.h"

#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_vcard <file>\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("cannot open\n");
        return 0;
    }
    try {
        std::printf("rows %d\n", readVCardRows(file)->rowCount());
    } catch (const EngineError& e) {
        std::printf("%s\n", e.what());
    }
    printPeakMemory();
    return 0;
}
