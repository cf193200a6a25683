#pragma once

#include "db/query.h"

#include <QObject>
#include <memory>

enum class Lookup;
class Connection;
class LookupCombo;

// The data module: the two connections of the program and the three lookup lists, created
// before any window and alive until the program ends.
class TfrmDM : public QObject {
    Q_OBJECT
public:
    explicit TfrmDM(QObject* parent = nullptr);
    ~TfrmDM() override;

    Connection* ADOConnection1; // the card database
    Connection* ExcelADOCon;    // a workbook, for the card import

    Query* ADOQuery1; // categories
    Query* ADOQuery2; // sexes
    Query* ADOQuery3; // provinces

    // Each re-reads its list and binds the drop-down to it. Throws EngineError.
    void DBComType(LookupCombo* combo);
    void DBComSex(LookupCombo* combo);
    void DBComP(LookupCombo* combo);

private:
    void bindLookup(Query* list, Lookup table, LookupCombo* combo);

    std::unique_ptr<Connection> m_cards;
    std::unique_ptr<Connection> m_workbook;
};

extern TfrmDM* frmDM;
