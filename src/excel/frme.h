#pragma once

#include <QDialog>

// The card-list export options.
class TfrmE : public QDialog {
    Q_OBJECT
public:
    explicit TfrmE(QWidget* owner);
};
