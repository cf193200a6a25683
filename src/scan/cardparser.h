#pragma once

#include "db/cardfields.h"
#include "scan/cardlines.h"

#include <QStringList>
#include <vector>

// What the field rules made of a card's lines: the values found, by column of cardFields()
// (BName, BMob, DName …; a field not found is absent), and the lines no rule used.
struct ParsedCard {
    CardValues fields;
    QStringList unusedLines;
};

// Reads a card's fields from its lines: name (Chinese, compound surnames, or Latin), company,
// department, title, address with its province and city (spelt as the province list spells
// them), work phone, mobile, fax, e-mail, website, QQ and postcode, in Chinese or English.
ParsedCard parseCardLines(const std::vector<CardLine>& lines);
// The same for lines of unknown height.
ParsedCard parseCardLines(const QStringList& lines);
