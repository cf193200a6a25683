#pragma once

#include "db/cardfields.h"
#include "ui/common/modalwindow.h"

class DataGrid;
class Query;
class QLabel;
class QPushButton;

// The deleted cards, newest first. "恢复" sets the current one live again, unless a live card
// with the same category, name and sex exists. "彻底删除" removes the current one and its
// visits from the file for good, "全部彻底删除" every deleted card, each after a question
// that says so.
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
    QPushButton* BitBtn3; // 彻底删除
    QPushButton* BitBtn4; // 全部彻底删除

    Query* ADOQuery1; // the deleted cards
    Query* ADOQuery2; // the duplicate check and the restore

public slots:
    void BitBtn1Click(); // 恢复
    void BitBtn3Click(); // 彻底删除
    void BitBtn4Click(); // 全部彻底删除

private:
    bool hasCard() const;
    // False when a live card with the same category, name and sex stands in the way.
    bool restoreUnlessDuplicate(const QString& id, const CardValues& card);
};
