#pragma once

#include "ui/common/modalwindow.h"

#include <QStringList>

class LookupCombo;
class Query;
class QPushButton;

// What the card editor and the defaults window have in common: a modal window with only the
// close box in its title bar, on which Enter neither saves nor closes (Ctrl+S saves); the three
// lookup drop-downs (category, sex, province) and the way statements run on a query.
class CardDialog : public ModalWindow {
    Q_OBJECT
protected:
    CardDialog(QWidget* owner, const QString& name, int outerWidth, int outerHeight);

    // "保存" with its picture.
    QPushButton* placeSaveButton(QWidget* parent, int left, int top);

    // Binds the three drop-downs to their lists, in the order category, sex, province.
    // Throws EngineError.
    void bindLookups();
    // Selects the stored defaults when D_Mr holds exactly one row; otherwise the drop-downs
    // are left as they are.
    void selectStoredDefaults(Query* query);

    // Runs a statement as a query or as a command on a query of the window. Throw EngineError.
    static void openQuery(Query* query, const QString& statement);
    static void execCommand(Query* query, const QString& statement);
    // Runs commands as one transaction, under the write lock: either all of them take effect
    // or, when one fails, none. Throws EngineError.
    static void execCommands(Query* query, const QStringList& statements);

    LookupCombo* DBLookupComboBox1 = nullptr; // category
    LookupCombo* DBLookupComboBox2 = nullptr; // sex
    LookupCombo* DBLookupComboBox3 = nullptr; // province
};
