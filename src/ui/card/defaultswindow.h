#pragma once

#include "ui/card/carddialog.h"

class QGroupBox;

// The defaults window: the category, sex and province every new card starts with, kept in
// the single row of D_Mr.
class TfrmMRX : public CardDialog {
    Q_OBJECT
public:
    explicit TfrmMRX(QWidget* owner);

public slots:
    void BitBtn1Click(); // 保存

private:
    void FormCreate();

    Query* ADOQuery1;
    QGroupBox* GroupBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};
