#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The calendar: which program file the controller should hold on which day. A list of periods,
// each holding one file from its first to its last day, and the file for every other day. Kept as
// a short text file in the confg folder that a person can read and edit:
//
//   other days: normal.qmv
//   clock every: 30 days
//   period: 2026-12-21 | 2027-01-06 | holidays.qmv | Christmas holidays
//
// File names are relative to the data folder unless absolute.
namespace qmv::calendar {

inline constexpr int DefaultClockDays = 30;

struct Period
{
    QDate first;
    QDate last;
    QString file;
    QString note;
    bool operator==(const Period &o) const
    {
        return first == o.first && last == o.last && file == o.file && note == o.note;
    }
};

struct Calendar
{
    QString otherDays;
    int clockDays = DefaultClockDays; // the clock is sent again after this many days
    QList<Period> periods;

    bool operator==(const Calendar &o) const
    {
        return otherDays == o.otherDays && clockDays == o.clockDays && periods == o.periods;
    }
    // The first period that holds `date`, or null.
    const Period *periodOn(const QDate &date) const;
    // The file due on `date`, as written in the calendar.
    QString fileOn(const QDate &date) const;
};

// <root>/qmvdata/confg/calendar.txt
QString calendarPath();
// A file name of the calendar as a full path, and back to the calendar's way of writing it.
QString resolve(const QString &file);
QString shortName(const QString &path);

struct CalendarError
{
    int line = 0; // 1-based; 0 for the file as a whole
    QString what;
    QString toString() const;
};

std::optional<Calendar> parseCalendar(const QByteArray &bytes, CalendarError *error);
QByteArray calendarBytes(const Calendar &calendar);

// Each returns an empty text on success, otherwise what went wrong, naming the file.
std::optional<Calendar> readCalendar(const QString &path, QString *error);
QString writeCalendar(const QString &path, const Calendar &calendar);

// What makes a calendar unusable by itself: no file for the other days, a period that ends before
// it starts or overlaps another, text the file cannot hold.
QStringList layoutProblems(const Calendar &calendar);
// Why a program file of the calendar must not be downloaded unattended: it cannot be read, or it
// has findings. Empty when it is fit.
QString fileProblem(const QString &file);
// Everything that is wrong, as the Calendar window lists it before it saves.
QStringList problems(const Calendar &calendar);

} // namespace qmv::calendar
