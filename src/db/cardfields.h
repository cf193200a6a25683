#pragma once

#include <QHash>
#include <QString>
#include <span>
#include <string_view>
#include <vector>

// The three frames of the card editor.
enum class EditorGroup { Basic, Work, Family }; // 基本信息, 工作信息, 家庭信息

// Where a field's control stands in the card editor: its frame, the row and column of the
// frame's grid (from 0), how many grid columns it spans, and the control's object name.
struct EditorPlace {
    EditorGroup group;
    int row;
    int column;
    int span;
    QString controlName;
};

// One field of a card: its column in D_B, its caption (the card list's column title, the
// import sheet's header and the export's box), the label of its box in the card editor, the
// most GBK bytes the editor takes (0: a drop-down of a lookup list), whether the card export
// starts with it ticked, its width in the card lists (-1: the grid's default), and its
// control's place in the editor. Every per-field piece of the program comes from here.
struct CardField {
    QString column;
    QString caption;
    QString editorLabel;
    int maxBytes;
    bool exportedByDefault;
    int listWidth;
    EditorPlace editorPlace;

    bool isLookup() const { return maxBytes == 0; }
};

// The 24 fields of a card, in the order of the card list (and of the editor's tab order).
const std::vector<CardField>& cardFields();
// The field stored in column (in any letter case); throws EngineError when there is none.
const CardField& cardField(const QString& column);
// Where that field stands in cardFields(); throws EngineError when there is none.
int cardFieldIndex(const QString& column);

// The entry date: a column of the list and a box of the export, never typed by the user.
inline const QString EntryDateColumn = QStringLiteral("theDate");
inline const QString EntryDateCaption = QStringLiteral("录入日期");

// The three lookup lists from which the drop-down fields take their names, each a table of
// names in the register.
enum class Lookup { Category, Sex, Province };

// The values of one card by column; a field without a value is stored empty.
using CardValues = QHash<QString, QString>;

// Refuses values for columns that are no card field (EngineError): a misspelt column would
// otherwise be dropped without a word.
void requireCardColumns(const CardValues& card);

// The values of one card as UTF-8 text, a value for each field in the order of cardFields():
// how a long run of inserts hands over its cards straight from where it holds them, without
// a string made of each value.
using CardText = std::span<const std::string_view>;
