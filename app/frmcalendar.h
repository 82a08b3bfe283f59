#pragma once

#include "calendarfile.h"

#include <QDialog>

#include <functional>

class QDateEdit;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTableWidget;

// The Calendar window: which program file the controller holds on which day. Periods are added,
// changed and removed, a month view shows the file of each day, and what is wrong is listed and
// keeps the calendar from being saved.
class frmCalendar : public QDialog
{
    Q_OBJECT
public:
    using FileDialogRunner = std::function<int(QFileDialog &)>;
    explicit frmCalendar(FileDialogRunner runFileDialog, QWidget *parent = nullptr);

    // Saves the calendar when nothing is wrong with it; false, with the reasons listed, otherwise.
    bool save();
    const qmv::calendar::Calendar &calendar() const { return m_calendar; }
    void showMonth(const QDate &anyDay);

protected:
    void reject() override;

private:
    QString chooseFile(const QString &current);
    qmv::calendar::Period editedPeriod() const;
    void addPeriod();
    void changePeriod();
    void removePeriod();
    void periodPicked();
    void changed();
    void showPeriods();
    void showDays();

    FileDialogRunner m_runFileDialog;
    qmv::calendar::Calendar m_calendar;
    QDate m_month;
    bool m_modified = false;
    QLineEdit *m_otherDays = nullptr;
    QSpinBox *m_clockDays = nullptr;
    QTableWidget *m_periods = nullptr;
    QDateEdit *m_first = nullptr;
    QDateEdit *m_last = nullptr;
    QLineEdit *m_file = nullptr;
    QLineEdit *m_note = nullptr;
    QLabel *m_monthName = nullptr;
    QTableWidget *m_days = nullptr;
    QListWidget *m_problems = nullptr;
    QLabel *m_status = nullptr;
};
