#pragma once

#include "ui/common/modalwindow.h"

class CardStore;
class DataGrid;
class Query;
class QLabel;
class QPushButton;

// The deleted cards, newest first. "恢复" sets the current one live again, unless a live card
// with the same category, name and sex exists. "彻底删除" removes the current one and its
// visits from the register for good, "全部彻底删除" every deleted card, each after a question
// that says so.
class TfrmDeleted : public ModalWindow {
    Q_OBJECT
public:
    TfrmDeleted(QWidget* owner, CardStore& store);

    // Reads the deleted cards and their count again. Throws EngineError.
    void myRef();

    DataGrid* DBGrid1;
    Query* deletedList; // the deleted cards, as the grid shows them

public slots:
    void restoreCard();   // 恢复
    void purgeCard();     // 彻底删除
    void purgeAllCards(); // 全部彻底删除

private:
    bool hasCard() const;
    // 彻底删除 and 全部彻底删除 greyed out, with a tooltip saying why, for a login whose role
    // may not remove cards for good (a member on a server).
    void greyOutWhatTheUserMayNotDo();

    CardStore& m_store;
    QLabel* deletedCount;
    QPushButton* restoreButton;
    QPushButton* exitButton;
    QPushButton* purgeButton;
    QPushButton* purgeAllButton;
};
