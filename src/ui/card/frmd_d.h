#pragma once

#include <QDialog>

// The card editor, in new mode (theID "0") or edit mode (theID the card's key).
class TfrmD_D : public QDialog {
    Q_OBJECT
public:
    explicit TfrmD_D(QWidget* owner);

    QString theID;
};
