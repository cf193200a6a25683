#pragma once

#include "ui/common/modalwindow.h"

class CardStore;
class LookupCombo;
class LookupLists;
class QPushButton;

// What the card editor and the defaults window have in common: a modal window with only the
// close box in its title bar, on which Enter neither saves nor closes (Ctrl+S saves); the card
// store and lookup lists its opener hands it, and the three lookup drop-downs (category, sex,
// province).
class CardDialog : public ModalWindow {
    Q_OBJECT
protected:
    CardDialog(QWidget* owner, CardStore& store, LookupLists& lookups, const QString& name,
               int outerWidth, int outerHeight);

    // "保存" with its picture.
    QPushButton* placeSaveButton(QWidget* parent, int left, int top);

    // Binds the three drop-downs to their lists, in the order category, sex, province.
    // Throws EngineError.
    void bindLookups();
    // Selects the stored defaults when there are any; otherwise the drop-downs are left as
    // they are. Throws EngineError.
    void selectStoredDefaults();

    CardStore& m_store;
    LookupLists& m_lookups;
    LookupCombo* typeBox = nullptr;     // category
    LookupCombo* sexBox = nullptr;      // sex
    LookupCombo* provinceBox = nullptr; // province
};
