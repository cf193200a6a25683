#include "ui/common/widgets.h"

#include <algorithm>

#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QList>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

QFont windowFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    return font;
}

QLabel* placeLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

namespace {
bool isChinese(QChar c) {
    return c.unicode() >= 0x2E80;
}

QString labelName(const QString& labelText) {
    QString text = labelText.trimmed();
    if (text.endsWith(u'：') || text.endsWith(u':')) {
        text.chop(1);
    }
    QString name;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSpace()) {
            name += text[i];
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && text[end].isSpace()) {
            ++end;
        }
        // Padding stands beside a Chinese character; a space between two Latin words stays.
        if (!isChinese(text[i - 1]) && end < text.size() && !isChinese(text[end])) {
            name += u' ';
        }
        i = end - 1;
    }
    return name;
}
} // namespace

void nameForLabel(QWidget* control, const QString& labelText) {
    control->setAccessibleName(labelName(labelText));
}

namespace {
// Watches a tick box for its access key (a shortcut event) and moves the focus on into the
// field once the key has ticked it.
class TickByKey : public QObject {
public:
    TickByKey(QAbstractButton* box, QWidget* field) : QObject(box), m_box(box), m_field(field) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Shortcut) {
            m_box->setFocus(Qt::ShortcutFocusReason);
            m_box->toggle();
            if (m_box->isChecked()) {
                m_field->setFocus(Qt::ShortcutFocusReason);
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractButton* m_box;
    QWidget* m_field;
};
} // namespace

void focusFieldWhenTickedByKey(QAbstractButton* box, QWidget* field) {
    box->installEventFilter(new TickByKey(box, field));
}

void openMenuBarByF10(QMenuBar* bar) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F10), bar->window());
    QObject::connect(shortcut, &QShortcut::activated, bar, [bar] {
        if (!bar->actions().isEmpty()) {
            bar->setActiveAction(bar->actions().first());
        }
    });
}

QLabel* placeBuddyLabel(QWidget* parent, const QString& text, int left, QWidget* control) {
    QLabel* label = placeLabel(parent, text, left, control->y() + 4);
    label->setBuddy(control);
    nameForLabel(control, text);
    return label;
}

QGroupBox* placeGroup(QWidget* parent, const QString& title, int left, int top, int width,
                      int height) {
    auto* group = new QGroupBox(title, parent);
    group->setGeometry(left, top, width, height);
    return group;
}

QPushButton* placeButton(QWidget* parent, const QString& name, const QString& caption, int left,
                         int top, const QString& iconPath) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, 75, 25);
    button->setAutoDefault(false);
    if (!iconPath.isEmpty()) {
        button->setIcon(QIcon(iconPath));
        button->setIconSize(QSize(16, 16));
    }
    return button;
}

namespace {
// The frame and title bar around a window's client area, as the window system draws them.
constexpr int Border = 4;
constexpr int TitleBar = 26;

QRect availableArea(const QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen->availableGeometry();
}
} // namespace

QSize roomOnScreen(const QWidget* window) {
    return availableArea(window).size() - QSize(2 * Border, 2 * Border + TitleBar);
}

void centreOver(QWidget* window, QWidget* over) {
    const QRect screen = availableArea(window);
    const QRect area = over ? over->frameGeometry() : screen;
    QPoint topLeft = area.center() - window->rect().center();
    // The whole window, frame and title bar included (a window's position is its frame's),
    // stays on the screen.
    const QSize outer = window->size() + QSize(2 * Border, 2 * Border + TitleBar);
    topLeft.setX(qBound(screen.left(), topLeft.x(),
                        qMax(screen.left(), screen.right() + 1 - outer.width())));
    topLeft.setY(qBound(screen.top(), topLeft.y(),
                        qMax(screen.top(), screen.bottom() + 1 - outer.height())));
    window->move(topLeft);
}

BusyCursor::BusyCursor() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    QGuiApplication::restoreOverrideCursor();
}

namespace {
bool takesTab(const QWidget* control) {
    return (control->focusPolicy() & Qt::TabFocus) && control->isEnabled() && !control->isHidden();
}

// The controls reached by Tab, each once: a control inside another one reached by Tab (a
// drop-down's edit box, a grid's scroll bars) moves with it.
QList<QWidget*> tabStops(QWidget* window) {
    QList<QWidget*> stops;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->isWindow() || !takesTab(control)) {
            continue;
        }
        bool inner = false;
        for (QWidget* up = control->parentWidget(); up != window; up = up->parentWidget()) {
            inner = inner || up->isWindow() || up->isHidden() || takesTab(up);
        }
        if (!inner) {
            stops << control;
        }
    }
    return stops;
}
} // namespace

namespace {
class GapCloser : public QObject {
public:
    GapCloser(QWidget* bar, const QList<QWidget*>& controls, int left, int gap, int rightMargin)
        : QObject(bar), m_bar(bar), m_controls(controls) {
        int packed = left + gap;
        for (const QWidget* control : controls) {
            m_natural << control->x();
            m_packed << packed;
            packed += control->width() + gap;
        }
        m_naturalWidth = controls.last()->geometry().right() + 1 + rightMargin;
        m_packedWidth = packed - gap + rightMargin;
        bar->setMinimumWidth(m_packedWidth);
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_bar && event->type() == QEvent::Resize) {
            place();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void place() {
        const int missing =
            qBound(0, m_naturalWidth - m_bar->width(), m_naturalWidth - m_packedWidth);
        const double closed =
            m_naturalWidth > m_packedWidth ? double(missing) / (m_naturalWidth - m_packedWidth) : 0;
        for (qsizetype i = 0; i < m_controls.size(); ++i) {
            const int x = m_natural[i] - qRound(closed * (m_natural[i] - m_packed[i]));
            m_controls[i]->move(x, m_controls[i]->y());
        }
    }

    QWidget* m_bar;
    QList<QWidget*> m_controls;
    QList<int> m_natural;
    QList<int> m_packed;
    int m_naturalWidth = 0;
    int m_packedWidth = 0;
};
} // namespace

void closeGapsAsBarNarrows(QWidget* bar, const QList<QWidget*>& controls, int left, int gap,
                           int rightMargin) {
    new GapCloser(bar, controls, left, gap, rightMargin);
}

void tabInReadingOrder(QWidget* window) {
    const auto placeOf = [window](const QWidget* control) {
        return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
    };
    QList<QWidget*> stops = tabStops(window);
    std::stable_sort(stops.begin(), stops.end(), [&](const QWidget* a, const QWidget* b) {
        return placeOf(a).top() < placeOf(b).top();
    });
    QList<QList<QWidget*>> rows;
    int rowBottom = -1;
    for (QWidget* control : std::as_const(stops)) {
        const QRect place = placeOf(control);
        if (rows.isEmpty() || place.center().y() > rowBottom) {
            rows.append(QList<QWidget*>());
            rowBottom = place.bottom();
        }
        rows.last() << control;
    }
    QWidget* previous = nullptr;
    for (QList<QWidget*>& row : rows) {
        std::stable_sort(row.begin(), row.end(), [&](const QWidget* a, const QWidget* b) {
            return placeOf(a).left() < placeOf(b).left();
        });
        for (QWidget* control : std::as_const(row)) {
            if (previous) {
                QWidget::setTabOrder(previous, control);
            }
            previous = control;
        }
    }
}

void setOuterSize(QWidget* window, int width, int height) {
    const QSize room = roomOnScreen(window);
    window->resize(qMin(width - 2 * Border, room.width()),
                   qMin(height - 2 * Border - TitleBar, room.height()));
}
