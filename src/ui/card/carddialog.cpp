#include "ui/card/carddialog.h"

#include "db/cardstore.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/lookuplists.h"
#include "ui/common/widgets.h"

#include <QPushButton>

CardDialog::CardDialog(QWidget* owner, CardStore& store, LookupLists& lookups, const QString& name,
                       int outerWidth, int outerHeight)
    : ModalWindow(owner, name, outerWidth, outerHeight), m_store(store), m_lookups(lookups) {}

QPushButton* CardDialog::placeSaveButton(QWidget* parent, int left, int top) {
    QPushButton* save = placeButton(parent, QStringLiteral("BitBtn1"), QStringLiteral("保存"), left,
                                    top, QStringLiteral(":/icons/save.svg"));
    setSaveButton(save);
    return save;
}

void CardDialog::bindLookups() {
    m_lookups.bind(typeBox, Lookup::Category);
    m_lookups.bind(sexBox, Lookup::Sex);
    m_lookups.bind(provinceBox, Lookup::Province);
}

void CardDialog::selectStoredDefaults() {
    const std::optional<CardDefaults> defaults = m_store.defaults();
    if (!defaults) {
        return;
    }
    typeBox->setKeyValue(defaults->type);
    sexBox->setKeyValue(defaults->sex);
    provinceBox->setKeyValue(defaults->province);
}
