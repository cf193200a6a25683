#pragma once

#include "db/cardfields.h"
#include "db/resultset.h"

#include <QByteArray>
#include <QIODevice>
#include <functional>
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

// Bounds of a vCard file read. The file is read as a stream, a card at a time, so its size
// costs time, not memory; what is kept is bounded: the cards as rows (about 100 bytes each
// and their text). Together that stays under 200 MB.
namespace VCardLimits {
constexpr qint64 FileBytes = 128LL * 1024 * 1024;
constexpr qint64 CardBytes = 4LL * 1024 * 1024; // one card, a photo in it included
constexpr qint64 Cards = 200'000;
constexpr qint64 TextBytes = 64LL * 1024 * 1024; // the values of all cards, UTF-8
} // namespace VCardLimits

// The cards of a vCard file of version 2.1 (with QUOTED-PRINTABLE and CHARSET), 3.0 or 4.0,
// each given to take as soon as it is read. Throws EngineError, with a message for the user,
// when the file is no vCard, is cut short, passes a bound, or uses a character set that
// cannot be read; the cards given before then are no import.
void readVCards(QIODevice& file, const std::function<void(const CardValues&)>& take);
// The same from the bytes of a file, all cards together.
std::vector<CardValues> readVCards(const QByteArray& file);

// The cards of a vCard file as rows under the fields' captions, as the import shows and
// reads a sheet; throws as readVCards, and beyond the bound of the text kept.
std::shared_ptr<ResultSet> readVCardRows(QIODevice& file);

// The cards as rows under the fields' captions, as the import shows and reads a sheet.
std::shared_ptr<ResultSet> cardRows(const std::vector<CardValues>& cards);
