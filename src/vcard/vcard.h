#pragma once

#include "db/cardfields.h"
#include "db/resultset.h"

#include <QByteArray>
#include <memory>
#include <vector>

// Cards as vCard files, the address-book format of phones and mail programs.
//
// Where each field goes: the name as FN and N (family name first), the category as
// CATEGORIES, the sex as X-GENDER, the phones as TEL (landline VOICE, mobile CELL, work
// WORK, work fax WORK,FAX, home HOME), the e-mail as EMAIL, QQ, MSN and AliWangWang as X-QQ,
// X-MSN and X-ALIWANGWANG, the description as NOTE, the employer and department as ORG, the
// post as TITLE, the work address with city, province and postcode as ADR;TYPE=WORK, the web
// site as URL, the home address as ADR;TYPE=HOME, the family member's name and the further
// information as X-ORVANE-FAMILY and X-ORVANE-NOTE.

// The cards as one vCard 3.0 file: UTF-8, CRLF line ends, lines folded at 75 octets without
// splitting a character, "\", ",", ";" and line breaks escaped.
QByteArray writeVCards(const std::vector<CardValues>& cards);

// The cards of a vCard file of version 2.1 (with QUOTED-PRINTABLE and CHARSET), 3.0 or 4.0.
// Throws EngineError, with a message for the user, when the file is no vCard, is cut short,
// or uses a character set that cannot be read; then no card is given.
std::vector<CardValues> readVCards(const QByteArray& file);

// The cards as rows under the fields' captions, as the import shows and reads a sheet.
std::shared_ptr<ResultSet> cardRows(const std::vector<CardValues>& cards);
