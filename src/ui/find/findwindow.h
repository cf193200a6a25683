#pragma once

#include "ui/common/modalwindow.h"

#include <memory>

class CardSearch;
class DataGrid;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;

// Finds live cards as the user types, by any value or by the pinyin of names and companies,
// listing the first thousand found. Enter or a double-click on a found card picks it: the window
// says which (cardChosen) and closes.
class TfrmFind : public ModalWindow {
    Q_OBJECT
public:
    explicit TfrmFind(QWidget* owner);
    ~TfrmFind() override;

    QLineEdit* Edit1; // what to find
    DataGrid* DBGrid1;
    QLabel* Label2;       // how many cards were found
    QPushButton* BitBtn1; // 退出

    Query* ADOQuery1; // every live card
    Query* ADOQuery2; // the cards found

signals:
    void cardChosen(const QString& id);

public slots:
    void Edit1Change(); // finds again
    void chooseCard();  // the current found card

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<CardSearch> m_search;
};
