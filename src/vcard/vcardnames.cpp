#include "vcard/vcardnames.h"

#include <QStringList>

namespace {
// The compound surnames met today.
const QStringList& compoundSurnames() {
    static const QStringList surnames = {
        "欧阳", "司马", "上官", "诸葛", "东方", "皇甫", "尉迟", "公孙", "慕容", "长孙",
        "宇文", "司徒", "司空", "夏侯", "轩辕", "令狐", "钟离", "端木", "独孤", "南宫",
        "西门", "澹台", "公冶", "万俟", "闻人", "赫连", "呼延", "太史", "申屠", "百里",
        "东郭", "拓跋", "濮阳", "淳于", "单于", "鲜于", "闾丘", "宗政", "公羊", "第五",
        "左丘", "梁丘", "谷梁", "乐正", "漆雕", "巫马", "公西", "颛孙", "子车", "亓官"};
    return surnames;
}
} // namespace

SplitName splitName(const QString& name) {
    const QString trimmed = name.trimmed();
    const qsizetype blank = trimmed.lastIndexOf(u' ');
    if (blank > 0) {
        return {trimmed.mid(blank + 1), trimmed.left(blank).trimmed()};
    }
    if (trimmed.isEmpty() || !trimmed.front().isLetter() || trimmed.front().unicode() < 0x2E80) {
        return {QString(), trimmed}; // a Latin single name is a given name
    }
    qsizetype length = 1;
    for (const QString& surname : compoundSurnames()) {
        if (trimmed.size() > surname.size() && trimmed.startsWith(surname)) {
            length = surname.size();
            break;
        }
    }
    if (trimmed.front().isHighSurrogate()) {
        length = 2;
    }
    return {trimmed.left(length), trimmed.mid(length)};
}
