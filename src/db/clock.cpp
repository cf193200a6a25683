#include "db/clock.h"

namespace {
QDate fixedToday;
}

QDate Clock::today() {
    return fixedToday.isValid() ? fixedToday : QDate::currentDate();
}

void Clock::setFixedToday(const QDate& date) {
    fixedToday = date;
}

QString dateText(const QDate& date) {
    return QStringLiteral("%1-%2-%3")
        .arg(date.year())
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QDate oneMonthEarlier(const QDate& date) {
    return date.addMonths(-1); // clamps to the last day of a shorter month
}
