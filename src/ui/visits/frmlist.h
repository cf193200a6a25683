#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;

// The visit log of one card.
class TfrmList : public QDialog {
    Q_OBJECT
public:
    explicit TfrmList(QWidget* owner);

    QGroupBox* GroupBox1; // the list frame
    QGroupBox* GroupBox2; // the entry frame
    QLabel* Lab_ID;       // invisible: the card's key
};
