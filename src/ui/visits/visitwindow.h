#pragma once

#include "ui/common/modalwindow.h"

class BannerPane;
class DataGrid;
class GbkLineEdit;
class Query;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

// The visit log of one card: the card's visits newest first, an entry pane for a new visit,
// removal of a visit from the grid's pop-up menu, and the export of the list. The opener sets
// the captions and the card's key in Lab_ID before showing it; each opening uses a new window.
class TfrmList : public ModalWindow {
    Q_OBJECT
public:
    explicit TfrmList(QWidget* owner);

    // FormClose: every way of closing ends here; the main list then follows the changes.
    void done(int result) override;

    // Re-runs the visit list of the card in Lab_ID. Throws EngineError.
    void Ref();

    QGroupBox* GroupBox1; // the list frame; its caption titles the exported sheet
    QGroupBox* GroupBox2; // the entry frame
    QLabel* Lab_ID;       // invisible: the card's key

    Query* ADOQuery1; // the visit list, and the insert of a new visit
    Query* ADOQuery2; // the removal

    DataGrid* DBGrid1;

public slots:
    void BitBtn1Click(); // 保存
    void BitBtn3Click(); // Excel
    void D1Click();      // 注销拜访记录

protected:
    void showEvent(QShowEvent* event) override; // FormShow

private:
    void FormCreate();
    void buildEntryPane();
    void buildButtons();
    void buildPopupMenu();

    BannerPane* WebBrowser1;
    GbkLineEdit* Edit1;
    QComboBox* ComboBox1;
    GbkLineEdit* Edit2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QMenu* PopupMenu1;
};
