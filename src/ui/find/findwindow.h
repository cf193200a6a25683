#pragma once

#include "ui/common/modalwindow.h"

#include <memory>

class CardSearch;
class CardStore;
class DataGrid;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
class ResultSet;

// Finds live cards as the user types, by any value or by the pinyin of names and companies,
// listing the first thousand found. Given every live card as a list already held (the main
// window's when its filter is off), it searches that list; otherwise it reads one. Enter or a
// double-click on a found card picks it: the window says which (cardChosen) and closes.
class TfrmFind : public ModalWindow {
    Q_OBJECT
public:
    TfrmFind(QWidget* owner, CardStore& store,
             std::shared_ptr<const ResultSet> liveCards = nullptr);
    ~TfrmFind() override;

    QLineEdit* searchBox; // what to find
    DataGrid* DBGrid1;
    QLabel* foundCount;
    QPushButton* exitButton;

    Query* foundCards; // the cards found, as the grid shows them

signals:
    void cardChosen(const QString& id);

public slots:
    void findAgain();  // the text to find changed
    void chooseCard(); // the current found card

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<const ResultSet> m_liveCards; // every live card
    std::unique_ptr<CardSearch> m_search;
};
