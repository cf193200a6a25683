#include "db/resultorder.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace {

// Each distinct value is collated once; rows then sort by the rank of their value.
// Card lists repeat categories, provinces, sexes and many names, so this is much cheaper
// than collating row against row.
std::vector<int> textRanks(const ResultSet& result, int column) {
    const int rows = result.rowCount();
    std::unordered_map<std::string_view, int> distinctIndex;
    distinctIndex.reserve(size_t(rows));
    std::vector<int> valueOfRow(rows);
    std::vector<std::string_view> distinct;
    for (int r = 0; r < rows; ++r) {
        const std::string_view v = result.utf8(r, column);
        const auto [it, added] = distinctIndex.try_emplace(v, int(distinct.size()));
        if (added) {
            distinct.push_back(v);
        }
        valueOfRow[r] = it->second;
    }

    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    for (const std::string_view v : distinct) {
        keys.push_back(collator.sortKey(textFromUtf8(v)));
    }
    std::vector<int> byKey(distinct.size());
    std::iota(byKey.begin(), byKey.end(), 0);
    // As in the GBK byte order, texts that start with an ASCII character (or are empty) come
    // before Chinese ones; the locale's collation alone would put Han characters first.
    auto asciiFirst = [&](int i) { return distinct[i].empty() || uchar(distinct[i][0]) < 0x80; };
    std::sort(byKey.begin(), byKey.end(), [&](int a, int b) {
        if (asciiFirst(a) != asciiFirst(b)) {
            return asciiFirst(a);
        }
        const int c = keys[a].compare(keys[b]);
        return c != 0 ? c < 0 : distinct[a] < distinct[b];
    });
    std::vector<int> rankOfValue(distinct.size());
    for (size_t i = 0; i < byKey.size(); ++i) {
        rankOfValue[byKey[i]] = int(i);
    }
    for (int& v : valueOfRow) {
        v = rankOfValue[v];
    }
    return valueOfRow;
}

std::vector<qlonglong> integerValues(const ResultSet& result, int column) {
    std::vector<qlonglong> values(result.rowCount());
    for (int r = 0; r < result.rowCount(); ++r) {
        const std::string_view v = result.utf8(r, column);
        values[r] = QByteArray::fromRawData(v.data(), qsizetype(v.size())).toLongLong();
    }
    return values;
}

template <typename Key> std::vector<int> orderBy(const std::vector<Key>& keys, bool descending) {
    std::vector<int> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    if (descending) {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[b] < keys[a]; });
    } else {
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[a] < keys[b]; });
    }
    return order;
}

} // namespace

std::vector<int> sortedOrder(const ResultSet& result, int column, bool descending) {
    if (result.isIntegerColumn(column)) {
        return orderBy(integerValues(result, column), descending);
    }
    return orderBy(textRanks(result, column), descending);
}
