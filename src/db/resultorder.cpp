#include "db/resultorder.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

namespace {

// The Chinese collation (pinyin) with the settings Qt's collator gives it: normalised,
// case-sensitive (tertiary strength), digits one by one, punctuation not ignored.
struct Collator {
    UCollator* handle = nullptr;
    Collator() {
        UErrorCode status = U_ZERO_ERROR;
        handle = ucol_open("zh", &status);
        ucol_setAttribute(handle, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        ucol_setAttribute(handle, UCOL_STRENGTH, UCOL_TERTIARY, &status);
        ucol_setAttribute(handle, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(handle, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    }
    ~Collator() { ucol_close(handle); }
    Collator(const Collator&) = delete;
    Collator& operator=(const Collator&) = delete;
};

// The collation keys of the distinct values of a column, back to back in one buffer; each
// value is also known by the first eight bytes of its key, read as one number, so that most
// comparisons touch no key at all.
struct Keys {
    std::string bytes;
    std::vector<size_t> ends;
    std::vector<quint64> heads;
    std::vector<UChar> text; // the value being collated, in UTF-16

    std::string_view key(int i) const {
        const size_t begin = i == 0 ? 0 : ends[size_t(i) - 1];
        return std::string_view(bytes).substr(begin, ends[size_t(i)] - begin);
    }

    void add(UCollator* collator, std::string_view utf8) {
        UErrorCode status = U_ZERO_ERROR;
        int32_t length16 = 0;
        text.resize(utf8.size() + 1);
        u_strFromUTF8Lenient(text.data(), int32_t(text.size()), &length16, utf8.data(),
                             int32_t(utf8.size()), &status);
        const UChar* chars = text.data();
        const int units = length16;
        const size_t begin = bytes.size();
        size_t room = 16 + 3 * size_t(units);
        bytes.resize(begin + room);
        int length = ucol_getSortKey(collator, chars, units,
                                     reinterpret_cast<uint8_t*>(bytes.data() + begin), int(room));
        if (size_t(length) > room) {
            room = size_t(length);
            bytes.resize(begin + room);
            length = ucol_getSortKey(collator, chars, units,
                                     reinterpret_cast<uint8_t*>(bytes.data() + begin), int(room));
        }
        bytes.resize(begin + size_t(length));
        ends.push_back(bytes.size());
        quint64 head = 0;
        for (size_t k = 0; k < 8; ++k) {
            head = head << 8 | (k < size_t(length) ? uchar(bytes[begin + k]) : 0);
        }
        heads.push_back(head);
    }
};

// The rank of each row's value among the column's values in collation order: each distinct
// value is collated once, so columns that repeat their values (categories, provinces,
// sexes, common names) cost little, and a column whose every value differs sorts by keys
// worked out beforehand rather than by collating pairs of texts.
std::vector<int> textRanks(const ResultSet& result, int column, int* rankCount) {
    const int rows = result.rowCount();
    // The distinct values, found through an open-addressing table of row numbers.
    size_t tableSize = 16;
    while (tableSize < size_t(rows) * 2) {
        tableSize *= 2;
    }
    std::vector<int> firstRowOfSlot(tableSize, -1);
    std::vector<int> valueOfRow(static_cast<size_t>(rows));
    std::vector<int> distinctOfRow(static_cast<size_t>(rows), -1);
    std::vector<std::string_view> distinct;
    const std::hash<std::string_view> hash;
    for (int r = 0; r < rows; ++r) {
        const std::string_view v = result.utf8(r, column);
        size_t slot = hash(v) & (tableSize - 1);
        while (firstRowOfSlot[slot] >= 0 && result.utf8(firstRowOfSlot[slot], column) != v) {
            slot = (slot + 1) & (tableSize - 1);
        }
        if (firstRowOfSlot[slot] < 0) {
            firstRowOfSlot[slot] = r;
            distinctOfRow[size_t(r)] = int(distinct.size());
            distinct.push_back(v);
        }
        valueOfRow[size_t(r)] = distinctOfRow[size_t(firstRowOfSlot[slot])];
    }
    firstRowOfSlot = {};
    distinctOfRow = {};

    static const Collator collator;
    Keys keys;
    keys.ends.reserve(distinct.size());
    keys.heads.reserve(distinct.size());
    for (const std::string_view v : distinct) {
        keys.add(collator.handle, v);
    }
    std::vector<int> byKey(distinct.size());
    std::iota(byKey.begin(), byKey.end(), 0);
    // As in the GBK byte order, texts that start with an ASCII character (or are empty) come
    // before Chinese ones; the locale's collation alone would put Han characters first.
    auto asciiFirst = [&](int i) { return distinct[i].empty() || uchar(distinct[i][0]) < 0x80; };
    const auto chinese = std::stable_partition(byKey.begin(), byKey.end(), asciiFirst);
    auto before = [&](int a, int b) {
        if (keys.heads[size_t(a)] != keys.heads[size_t(b)]) {
            return keys.heads[size_t(a)] < keys.heads[size_t(b)];
        }
        const int c = keys.key(a).compare(keys.key(b));
        return c != 0 ? c < 0 : distinct[size_t(a)] < distinct[size_t(b)];
    };
    std::sort(byKey.begin(), chinese, before);
    std::sort(chinese, byKey.end(), before);

    std::vector<int> rankOfValue(distinct.size());
    for (size_t i = 0; i < byKey.size(); ++i) {
        rankOfValue[size_t(byKey[i])] = int(i);
    }
    for (int& v : valueOfRow) {
        v = rankOfValue[size_t(v)];
    }
    *rankCount = int(distinct.size());
    return valueOfRow;
}

// Rows by rank in one pass over them; rows of the same rank keep their order.
std::vector<int> orderByRank(const std::vector<int>& rankOfRow, int ranks, bool descending) {
    std::vector<int> start(size_t(ranks) + 1, 0);
    auto slot = [&](int rank) { return size_t(descending ? ranks - 1 - rank : rank); };
    for (const int rank : rankOfRow) {
        ++start[slot(rank) + 1];
    }
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<int> order(rankOfRow.size());
    for (size_t row = 0; row < rankOfRow.size(); ++row) {
        order[size_t(start[slot(rankOfRow[row])]++)] = int(row);
    }
    return order;
}

qlonglong integerValue(std::string_view v) {
    return QByteArray::fromRawData(v.data(), qsizetype(v.size())).toLongLong();
}

std::vector<qlonglong> integerValues(const ResultSet& result, int column) {
    std::vector<qlonglong> values(static_cast<size_t>(result.rowCount()));
    for (int r = 0; r < result.rowCount(); ++r) {
        const std::string_view v = result.utf8(r, column);
        values[size_t(r)] = QByteArray::fromRawData(v.data(), qsizetype(v.size())).toLongLong();
    }
    return values;
}

std::vector<int> orderBy(const std::vector<qlonglong>& keys, bool descending) {
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    if (descending) {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[size_t(b)] < keys[size_t(a)]; });
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
    }
    return order;
}

} // namespace

std::vector<int> sortedOrder(const ResultSet& result, int column, bool descending) {
    if (result.isIntegerColumn(column)) {
        return orderBy(integerValues(result, column), descending);
    }
    int ranks = 0;
    const std::vector<int> rankOfRow = textRanks(result, column, &ranks);
    return orderByRank(rankOfRow, ranks, descending);
}

int compareForSort(const ResultSet& result, int column, int rowA, int rowB) {
    const std::string_view a = result.utf8(rowA, column);
    const std::string_view b = result.utf8(rowB, column);
    if (result.isIntegerColumn(column)) {
        const qlonglong x = integerValue(a);
        const qlonglong y = integerValue(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    // As textRanks orders them: ASCII-first texts before Chinese ones, then the collation,
    // then the bytes.
    const bool asciiA = a.empty() || uchar(a[0]) < 0x80;
    const bool asciiB = b.empty() || uchar(b[0]) < 0x80;
    if (asciiA != asciiB) {
        return asciiA ? -1 : 1;
    }
    static const Collator collator;
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult order = ucol_strcollUTF8(collator.handle, a.data(), int32_t(a.size()),
                                                    b.data(), int32_t(b.size()), &status);
    if (order != UCOL_EQUAL) {
        return order == UCOL_LESS ? -1 : 1;
    }
    return a < b ? -1 : a > b ? 1 : 0;
}
