#include "app/datamodule.h"

#include "db/lookups.h"
#include "db/sqlcipherconnection.h"
#include "excel/workbookconnection.h"
#include "ui/common/lookupcombo.h"

#include <QGuiApplication>

TfrmDM* frmDM = nullptr;

TfrmDM::TfrmDM(QObject* parent)
    : QObject(parent), m_cards(std::make_unique<SqlCipherConnection>()),
      m_workbook(std::make_unique<WorkbookConnection>()) {
    ADOConnection1 = m_cards.get();
    ExcelADOCon = m_workbook.get();
    ADOQuery1 = new Query(this);
    ADOQuery2 = new Query(this);
    ADOQuery3 = new Query(this);
    // While a statement waits for another program's lock, the wait cursor shows.
    SqlCipherConnection::setLockWaitFeedback([](bool waiting) {
        if (waiting) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    });
}

TfrmDM::~TfrmDM() = default;

void TfrmDM::bindLookup(Query* list, Lookup table, LookupCombo* combo) {
    list->openOn(ADOConnection1, lookupListStatement(table));
    combo->setListSource(list, QStringLiteral("theName"));
}

void TfrmDM::DBComType(LookupCombo* combo) {
    bindLookup(ADOQuery1, Lookup::Category, combo);
}

void TfrmDM::DBComSex(LookupCombo* combo) {
    bindLookup(ADOQuery2, Lookup::Sex, combo);
}

void TfrmDM::DBComP(LookupCombo* combo) {
    bindLookup(ADOQuery3, Lookup::Province, combo);
}
