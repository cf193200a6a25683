#pragma once

#include <QString>

// A name split into family name and given name, as vCard's N wants it.
struct SplitName {
    QString family;
    QString given;
};

// A Chinese name has the family name first: one character, or two for the compound
// surnames (欧阳修: 欧阳 + 修). A name written with blanks (John Smith) has it last.
SplitName splitName(const QString& name);
