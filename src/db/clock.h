#pragma once

#include <QDate>
#include <QString>

// "Today" for every date the program writes. Tests fix it to a chosen day.
class Clock {
public:
    static QDate today();
    static void setFixedToday(const QDate& date); // an invalid date returns to the real clock
};

// The date text of the card database: year, "-", two-digit month, "-", two-digit day.
QString dateText(const QDate& date);

// The same day of the previous month, or that month's last day when it is shorter.
QDate oneMonthEarlier(const QDate& date);
