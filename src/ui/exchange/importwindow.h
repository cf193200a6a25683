#pragma once

#include "db/cardfields.h"
#include "ui/common/modalwindow.h"

class ResultSet;

class DataGrid;
class Query;
class QGroupBox;
class QLabel;
class QPushButton;

// The card import: opens the sheet Sheet1 of a workbook (or the cards of a vCard file), shows
// its rows with their count, and inserts every named row that does not repeat a live card as
// a new card. It then says how many cards it added and how many rows it skipped, and shows
// the skipped rows with the reason.
class TfrmInData : public ModalWindow {
    Q_OBJECT
public:
    explicit TfrmInData(QWidget* owner);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QPushButton* Button1;
    QPushButton* Button2; // 导入vCard
    QGroupBox* GroupBox2;
    DataGrid* DBGrid1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    Query* ADOQuery1; // the sheet, over the data module's workbook connection
    Query* ADOQuery2; // the duplicate check and the insert, over the card database

public slots:
    void Button1Click(); // 打开
    void Button2Click(); // 导入vCard: the cards of a vCard file, imported by 导入
    void BitBtn1Click(); // 导入

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openSheet(const QString& path);
    void openVCards(const QString& path);
    void showRows(const QString& caption);

    enum class RowOutcome { Added, Duplicate, Nameless };
    CardValues rowCard() const; // the card of the current row
    RowOutcome importRow(const CardValues& card);
    static void addSkippedRow(ResultSet& skipped, int number, const QString& reason,
                              const CardValues& card);

    bool m_importing = false;
};
