#pragma once

#include <QHash>
#include <QString>
#include <vector>

// One field of a card: its column in D_B, its caption (the card list's column title, the
// import sheet's header and the export's box), the label of its box in the card editor, the
// most GBK bytes the editor takes (0: a drop-down of a lookup list), and whether the card
// export starts with it ticked.
struct CardField {
    QString column;
    QString caption;
    QString editorLabel;
    int maxBytes;
    bool exportedByDefault;

    bool isLookup() const { return maxBytes == 0; }
};

// The 24 fields of a card, in the order of the card list.
const std::vector<CardField>& cardFields();
// The field stored in column (in any letter case); throws EngineError when there is none.
const CardField& cardField(const QString& column);

// The entry date: a column of the list and a box of the export, never typed by the user.
inline const QString EntryDateColumn = QStringLiteral("theDate");
inline const QString EntryDateCaption = QStringLiteral("录入日期");

// The values of one card by column; a field without a value is stored empty.
using CardValues = QHash<QString, QString>;
