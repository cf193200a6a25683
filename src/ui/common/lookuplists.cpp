#include "ui/common/lookuplists.h"

#include "db/cardstore.h"
#include "ui/common/lookupcombo.h"

void LookupList::setNames(const QStringList& names) {
    m_names = names;
    emit changed();
}

LookupLists::LookupLists(CardStore& store, QObject* parent)
    : QObject(parent),
      m_store(store), m_lists{new LookupList(this), new LookupList(this), new LookupList(this)} {}

void LookupLists::bind(LookupCombo* combo, Lookup list) {
    LookupList* names = m_lists.at(size_t(list));
    names->setNames(m_store.lookup(list));
    combo->setListSource(names);
}
