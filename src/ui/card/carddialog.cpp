#include "carddialog.h"

#include "app/frmdm.h"
#include "db/query.h"
#include "ui/common/lookupcombo.h"
#include "ui/common/widgets.h"
#include "ui/main/frmmain.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>

CardDialog::CardDialog(QWidget* owner, const QString& name, int outerWidth, int outerHeight)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
    setObjectName(name);
    setFont(windowFont());
    setOuterSize(this, outerWidth, outerHeight);
    centreOver(this, frmMain);
}

void CardDialog::keyPressEvent(QKeyEvent* event) {
    // QDialog closes on Esc; these windows close only by "退出" or the close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QPushButton* CardDialog::placeSaveButton(QWidget* parent, int left, int top) {
    return placeButton(parent, QStringLiteral("BitBtn1"), QStringLiteral("保存"), left, top,
                       QStringLiteral(":/icons/save.svg"));
}

QPushButton* CardDialog::placeExitButton(QWidget* parent, int left, int top) {
    QPushButton* button =
        placeButton(parent, QStringLiteral("BitBtn2"), QStringLiteral("退出"), left, top);
    button->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    connect(button, &QPushButton::clicked, this, &QWidget::close);
    return button;
}

void CardDialog::bindLookups() {
    frmDM->DBComType(DBLookupComboBox1);
    frmDM->DBComSex(DBLookupComboBox2);
    frmDM->DBComP(DBLookupComboBox3);
}

void CardDialog::selectStoredDefaults(Query* query, const QString& statement) {
    openQuery(query, statement);
    if (query->recordCount() != 1) {
        return;
    }
    DBLookupComboBox1->setKeyValue(query->fieldByName(QStringLiteral("theType")));
    DBLookupComboBox2->setKeyValue(query->fieldByName(QStringLiteral("theSex")));
    DBLookupComboBox3->setKeyValue(query->fieldByName(QStringLiteral("theP")));
}

void CardDialog::openQuery(Query* query, const QString& statement) {
    query->setConnection(frmDM->ADOConnection1);
    query->close();
    query->clear();
    query->add(statement);
    query->open();
}

void CardDialog::execCommand(Query* query, const QString& statement) {
    query->setConnection(frmDM->ADOConnection1);
    query->close();
    query->clear();
    query->add(statement);
    query->execSQL();
}
