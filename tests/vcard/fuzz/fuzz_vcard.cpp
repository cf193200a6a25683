// Fuzzes the vCard reader: any bytes either give cards or a refusal (EngineError), never a
// crash, a hang or undefined behaviour. The cards read are written and read once more, and
// must come back the same: whatever the reader can give, the writer can carry.

#include "db/engineerror.h"
#include "vcard/vcard.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<CardValues> cards;
    try {
        cards = readVCards(file);
    } catch (const EngineError&) {
        return 0;
    }
    const std::vector<CardValues> again = readVCards(writeVCards(cards));
    if (again.size() != cards.size()) {
        std::abort();
    }
    for (size_t i = 0; i < cards.size(); ++i) {
        for (const CardField& field : cardFields()) {
            if (again[i].value(field.column) != cards[i].value(field.column)) {
                std::abort();
            }
        }
    }
    cardRows(cards);
    return 0;
}
