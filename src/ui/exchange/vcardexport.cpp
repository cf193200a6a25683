#include "ui/exchange/vcardexport.h"

#include "db/cardfields.h"
#include "db/query.h"
#include "ui/common/messages.h"
#include "ui/exchange/exportfile.h"
#include "vcard/vcard.h"

#include <QDir>

void exportVCards(QWidget* parent, const Query* list) {
    std::vector<CardValues> cards;
    if (const ResultSet* rows = list->active() ? list->result() : nullptr) {
        std::vector<int> columns;
        for (const CardField& field : cardFields()) {
            columns.push_back(rows->columnIndex(field.caption));
        }
        for (int position = 0; position < rows->rowCount(); ++position) {
            CardValues card;
            for (size_t i = 0; i < columns.size(); ++i) {
                card.insert(cardFields()[i].column, rows->text(list->rowAt(position), columns[i]));
            }
            cards.push_back(card);
        }
    }
    ExportFile file(QStringLiteral("名片"), QStringLiteral(".vcf"));
    file.save(writeVCards(cards));
    Messages::info(parent, QStringLiteral("已导出 %1 张名片，vCard 文件保存在：\n%2")
                               .arg(cards.size())
                               .arg(QDir::toNativeSeparators(file.path())));
}
