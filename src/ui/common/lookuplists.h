#pragma once

#include "db/cardfields.h"

#include <QObject>
#include <QStringList>
#include <array>

class CardStore;
class LookupCombo;

// One lookup list as last read, shared by every drop-down of its kind.
class LookupList : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    const QStringList& names() const { return m_names; }
    void setNames(const QStringList& names);

signals:
    void changed();

private:
    QStringList m_names;
};

// The three lookup lists of the register (category, sex, province) that the windows' drop-downs
// show. Start-up creates them beside the card store; the windows get them from their opener.
class LookupLists : public QObject {
    Q_OBJECT
public:
    explicit LookupLists(CardStore& store, QObject* parent = nullptr);

    // Reads the list again and binds the drop-down to it: every drop-down of that kind shows the
    // names just read. Throws EngineError.
    void bind(LookupCombo* combo, Lookup list);

private:
    CardStore& m_store;
    std::array<LookupList*, 3> m_lists;
};
