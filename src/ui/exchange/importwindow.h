#pragma once

#include "db/cardfields.h"
#include "db/cardstore.h"
#include "ui/common/modalwindow.h"

#include <memory>
#include <string_view>
#include <vector>

class DataGrid;
class Query;
class ResultSet;
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
    TfrmInData(QWidget* owner, CardStore& store);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QPushButton* openButton;  // 打开
    QPushButton* vCardButton; // 导入vCard
    QGroupBox* GroupBox2;
    DataGrid* DBGrid1;
    QPushButton* importButton; // 导入
    QPushButton* exitButton;   // 退出

    Query* sheetRows; // the rows read, of the sheet or of the vCard file

    // What an import did: cards stored for good, rows skipped by reason, and whether 取消
    // ended it.
    struct ImportTally {
        int stored = 0;
        int duplicates = 0;
        int nameless = 0;
        int refused = 0;
        bool cancelled = false;
    };

public slots:
    void openWorkbook(); // 打开
    void openVCards();   // 导入vCard: the cards of a vCard file, imported by 导入
    void importRows();   // 导入

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openSheet(const QString& path);
    void openVCardFile(const QString& path);
    void showRows(std::shared_ptr<const ResultSet> rows);
    void countRows(const QString& caption);

    // Where the sheet holds each card field, in the order of cardFields().
    static std::vector<int> cardColumns(const ResultSet& sheet);
    void importAll(ImportTally& tally, ResultSet& skipped);
    static void importRow(CardStore::ImportBatch& batch, CardText card, std::string_view entryDate,
                          int number, ImportTally& tally, ResultSet& skipped);
    static void addSkippedRow(ResultSet& skipped, int number, const QString& reason, CardText card);

    CardStore& m_store;
    bool m_importing = false;
};
