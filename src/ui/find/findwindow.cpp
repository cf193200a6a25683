#include "ui/find/findwindow.h"

#include "db/cardstore.h"
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

TfrmFind::TfrmFind(QWidget* owner, CardStore& store, std::shared_ptr<const ResultSet> liveCards)
    : ModalWindow(owner, QStringLiteral("frmFind"), 700, 420) {
    setWindowTitle(QStringLiteral("查找"));

    foundCards = new Query(this);

    searchBox = new GbkLineEdit(this); // no byte limit; Alt+letter types nothing
    searchBox->setObjectName(QStringLiteral("Edit1"));
    searchBox->setGeometry(64, 16, 400, 22);
    searchBox->setPlaceholderText(QStringLiteral("姓名、电话、单位……或拼音（如 zw、zhangwei）"));
    placeBuddyLabel(this, QStringLiteral("查找："), 16, searchBox);
    searchBox->installEventFilter(this);

    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("找到的名片"));
    DBGrid1->setGeometry(16, 48, 652, 282);
    DBGrid1->setQuery(foundCards);

    foundCount = placeLabel(this, QString(), 16, 346);
    foundCount->setObjectName(QStringLiteral("Label2"));
    foundCount->setMinimumWidth(300);
    exitButton = placeExitButton(this, QStringLiteral("BitBtn1"), 593, 340);
    keepControlsShown();

    connect(searchBox, &QLineEdit::textChanged, this, &TfrmFind::findAgain);
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, &TfrmFind::chooseCard);
    searchBox->setFocus();

    runCommand(this, [this, &store, &liveCards] {
        const BusyCursor busy;
        m_liveCards = liveCards ? std::move(liveCards) : store.cardList(FilterInput());
        PinyinReadings readings;
        m_search =
            std::make_unique<CardSearch>(*m_liveCards, QStringList{QStringLiteral("ID")},
                                         QStringList{cardField(QStringLiteral("BName")).caption,
                                                     cardField(QStringLiteral("DName")).caption},
                                         readings);
    });
    findAgain();
}

TfrmFind::~TfrmFind() = default;

void TfrmFind::findAgain() {
    if (!m_search) {
        return;
    }
    std::vector<int> rows = m_search->find(searchBox->text());
    const size_t found = rows.size();
    if (found > MaxShown) {
        rows.resize(MaxShown); // the next keys narrow the search
    }
    foundCards->openResult(std::make_shared<const ResultSet>(m_liveCards->subset(rows)));
    DBGrid1->setColumnLayout(cardListWidths());
    QString count;
    if (!searchBox->text().isEmpty()) {
        count = QStringLiteral("找到名片：") + QString::number(found);
    }
    if (found > MaxShown) {
        count += QStringLiteral("（列出前 %1 张）").arg(MaxShown);
    }
    foundCount->setText(count);
}

void TfrmFind::chooseCard() {
    if (!foundCards->active() || foundCards->recordCount() == 0) {
        return;
    }
    emit cardChosen(foundCards->fieldByName(QStringLiteral("ID")));
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
    if (watched == searchBox && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
        DBGrid1->setFocus(Qt::TabFocusReason);
        return true;
    }
    return ModalWindow::eventFilter(watched, event);
}
