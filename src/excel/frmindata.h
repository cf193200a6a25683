#pragma once

#include <QDialog>

// The card import from a workbook.
class TfrmInData : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInData(QWidget* owner);
};
