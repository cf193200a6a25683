#include "ui/common/cardcolumns.h"

#include "db/cardfields.h"

const QList<int>& cardListWidths() {
    static const QList<int> widths = [] {
        QList<int> list{0, -1}; // the key hidden, the entry date at the grid's default
        for (const CardField& field : cardFields()) {
            list << field.listWidth;
        }
        return list;
    }();
    return widths;
}
