#pragma once

#include "ui/card/carddialog.h"

class QGroupBox;

// The defaults window: the category, sex and province every new card starts with. Closing it
// with a choice changed and not saved asks whether to save it.
class TfrmMRX : public CardDialog {
    Q_OBJECT
public:
    TfrmMRX(QWidget* owner, CardStore& store, LookupLists& lookups);

public slots:
    void save(); // 保存

private:
    QStringList shownInput() const;
    bool storeDefaults(); // false when storing failed (the error box said why)

    QGroupBox* GroupBox1;
    QPushButton* saveButton;
    QPushButton* exitButton;
};
