#pragma once

#include "ui/common/modalwindow.h"

class BannerPane;
class CardStore;
class DataGrid;
class GbkLineEdit;
class Query;
class QComboBox;
class QGroupBox;
class QMenu;
class QPushButton;

// The visit log of one card: the card's visits newest first, an entry pane for a new visit,
// removal of a visit from the grid's pop-up menu, and the export of the list. Each opening
// uses a new window, for the card with key cardId whose name titles it. Closing it with a
// visit typed and not saved asks whether to save it.
class TfrmList : public ModalWindow {
    Q_OBJECT
public:
    TfrmList(QWidget* owner, CardStore& store, qint64 cardId, const QString& cardName);

    // Reads the card's visits again. Throws EngineError.
    void readVisits();

    QGroupBox* GroupBox1; // the list frame; its caption titles the exported sheet
    QGroupBox* GroupBox2; // the entry frame

    Query* visitList; // the card's visits, as the grid shows them
    DataGrid* DBGrid1;

public slots:
    void saveVisit();    // 保存
    void exportVisits(); // Excel
    void removeVisit();  // 注销拜访记录

protected:
    void showEvent(QShowEvent* event) override; // each showing reads the visits again

private:
    void buildEntryPane();
    void buildButtons();
    void buildPopupMenu();
    bool addTypedVisit(); // false when refused or failed (a box said why)

    CardStore& m_store;
    qint64 m_cardId;
    BannerPane* WebBrowser1;
    GbkLineEdit* dateBox;
    QComboBox* kindBox;
    GbkLineEdit* memoBox;
    QPushButton* saveButton;
    QPushButton* exitButton;
    QPushButton* excelButton;
    QMenu* PopupMenu1;
};
