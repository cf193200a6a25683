#include "ui/common/cardcolumns.h"

const QList<int>& cardListWidths() {
    static const QList<int> widths = {0,   -1,  -1,  100, -1,  100, 100, 100, 100,
                                      100, 100, 200, -1,  -1,  150, 100, 100, 150,
                                      100, 100, -1,  100, 150, 100, -1,  200};
    return widths;
}
