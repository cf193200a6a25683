// Reads Sheet1 of the workbook named on the command line as the import does, and prints what
// came of it: "rows N", or the message the user is shown. The limit tests run it as a child
// process, so that its peak memory is measured on its own; it prints that peak last.

#include "childpeak.h"
#include "db/engineerror.h"
#include "db/resultset.h"
#include "excel/workbookreader.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_workbook <file>\n");
        return 2;
    }
    try {
        const auto rows =
            readWorkbookSheet(QString::fromLocal8Bit(argv[1]), QStringLiteral("Sheet1"));
        std::printf("rows %d\n", rows->rowCount());
    } catch (const EngineError& e) {
        std::printf("%s\n", e.what());
    }
    printPeakMemory();
    return 0;
}
