#pragma once

#include "db/cardfields.h"
#include "ui/common/modalwindow.h"

class DataGrid;
class Query;
class QLabel;
class QPushButton;

// The deleted cards, newest first. "恢复" sets the current one live again, unless a live card
// with the same category, name and sex exists. Nothing is ever removed from the file.
class TfrmDeleted : public ModalWindow {
    Q_OBJECT
public:
    explicit TfrmDeleted(QWidget* owner);

    // Re-runs the list of deleted cards and its counter. Throws EngineError.
    void myRef();

    DataGrid* DBGrid1;
    QLabel* Label1;       // the number of deleted cards
    QPushButton* BitBtn1; // 恢复
    QPushButton* BitBtn2; // 退出

    Query* ADOQuery1; // the deleted cards
    Query* ADOQuery2; // the duplicate check and the restore

public slots:
    void BitBtn1Click(); // 恢复

private:
    // False when a live card with the same category, name and sex stands in the way.
    bool restoreUnlessDuplicate(const QString& id, const CardValues& card);
};
