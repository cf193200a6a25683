#pragma once

#include "ui/card/carddialog.h"

class QGroupBox;

// The defaults window: the category, sex and province every new card starts with.
class TfrmMRX : public CardDialog {
    Q_OBJECT
public:
    TfrmMRX(QWidget* owner, CardStore& store, LookupLists& lookups);

public slots:
    void save(); // 保存

private:
    QGroupBox* GroupBox1;
    QPushButton* saveButton;
    QPushButton* exitButton;
};
