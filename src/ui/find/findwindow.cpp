#include "ui/find/findwindow.h"

#include "app/datamodule.h"
#include "db/cardfields.h"
#include "db/cardlist.h"
#include "db/query.h"
#include "find/cardsearch.h"
#include "find/pinyin.h"
#include "ui/common/cardcolumns.h"
#include "ui/common/datagrid.h"
#include "ui/common/gbklineedit.h"
#include "ui/common/messages.h"
#include "ui/common/widgets.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// The most found cards listed at once; a longer text finds fewer.
constexpr size_t MaxShown = 1000;
} // namespace

TfrmFind::TfrmFind(QWidget* owner) : ModalWindow(owner, QStringLiteral("frmFind"), 700, 420) {
    setWindowTitle(QStringLiteral("查找"));

    ADOQuery1 = new Query(this);
    ADOQuery2 = new Query(this);

    Edit1 = new GbkLineEdit(this); // no byte limit; Alt+letter types nothing
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(64, 16, 400, 22);
    Edit1->setPlaceholderText(QStringLiteral("姓名、电话、单位……或拼音（如 zw、zhangwei）"));
    placeBuddyLabel(this, QStringLiteral("查找："), 16, Edit1);
    Edit1->installEventFilter(this);

    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("找到的名片"));
    DBGrid1->setGeometry(16, 48, 652, 282);
    DBGrid1->setQuery(ADOQuery2);

    Label2 = placeLabel(this, QString(), 16, 346);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setMinimumWidth(300);
    BitBtn1 = placeExitButton(this, QStringLiteral("BitBtn1"), 593, 340);
    keepControlsShown();

    connect(Edit1, &QLineEdit::textChanged, this, &TfrmFind::Edit1Change);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &TfrmFind::chooseCard);
    Edit1->setFocus();

    runCommand(this, [this] {
        const BusyCursor busy;
        ADOQuery1->openOn(frmDM->ADOConnection1, cardListStatement(QString()));
        PinyinReadings readings;
        m_search =
            std::make_unique<CardSearch>(*ADOQuery1->result(), QStringList{QStringLiteral("ID")},
                                         QStringList{cardField(QStringLiteral("BName")).caption,
                                                     cardField(QStringLiteral("DName")).caption},
                                         readings);
    });
    Edit1Change();
}

TfrmFind::~TfrmFind() = default;

void TfrmFind::Edit1Change() {
    if (!m_search) {
        return;
    }
    std::vector<int> rows = m_search->find(Edit1->text());
    const size_t found = rows.size();
    if (found > MaxShown) {
        rows.resize(MaxShown); // the next keys narrow the search
    }
    ADOQuery2->openResult(std::make_shared<const ResultSet>(ADOQuery1->result()->subset(rows)));
    DBGrid1->setColumnLayout(cardListWidths());
    QString count;
    if (!Edit1->text().isEmpty()) {
        count = QStringLiteral("找到名片：") + QString::number(found);
    }
    if (found > MaxShown) {
        count += QStringLiteral("（列出前 %1 张）").arg(MaxShown);
    }
    Label2->setText(count);
}

void TfrmFind::chooseCard() {
    if (!ADOQuery2->active() || ADOQuery2->recordCount() == 0) {
        return;
    }
    emit cardChosen(ADOQuery2->fieldByName(QStringLiteral("ID")));
    close();
}

void TfrmFind::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        chooseCard();
        event->accept();
        return;
    }
    ModalWindow::keyPressEvent(event);
}

bool TfrmFind::eventFilter(QObject* watched, QEvent* event) {
    // The down arrow in the box goes on into the found cards.
    if (watched == Edit1 && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        DBGrid1->setFocus(Qt::TabFocusReason);
        return true;
    }
    return ModalWindow::eventFilter(watched, event);
}
