#include "app/firstrows.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {
double cpuMs() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return double(used.tv_sec) * 1e3 + double(used.tv_nsec) / 1e6;
}

class FirstRowsReport : public QObject {
public:
    explicit FirstRowsReport(QAbstractItemView* grid) : QObject(grid), m_grid(grid) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_grid->model() && m_grid->model()->rowCount() > 0) {
            m_grid->viewport()->removeEventFilter(this);
            // Once this paint is done.
            QTimer::singleShot(0, this, [this] {
                std::printf("first_rows_painted cpu_ms=%.1f\n", cpuMs());
                std::fflush(stdout);
                deleteLater();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractItemView* m_grid;
};
} // namespace

void reportFirstRowsWhenAsked(QAbstractItemView* grid) {
    if (qEnvironmentVariableIsSet("ORVANE_REPORT_FIRST_ROWS")) {
        grid->viewport()->installEventFilter(new FirstRowsReport(grid));
    }
}
