#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// What the controller holds, as far as the downloads made from this PC tell: the program file
// last sent, whether all of it arrived, and when the controller's clock was last set.
namespace qmv::calendar {

struct Held
{
    QString file;       // full path of the program file
    QByteArray digest;  // of the file's bytes as they were sent
    bool complete = false;
    QDateTime clockSet; // when the clock was last set; invalid when never
    int utcOffset = 0;  // the local time's offset from UTC then, in seconds

    bool operator==(const Held &o) const
    {
        return file == o.file && digest == o.digest && complete == o.complete &&
               clockSet == o.clockSet && utcOffset == o.utcOffset;
    }
};

// The digest a Held keeps of a program file's bytes.
QByteArray digestOf(const QByteArray &bytes);

// Where the calendar run keeps what it sent, read back on its next run.
class HeldRecord
{
public:
    virtual ~HeldRecord() = default;
    virtual std::optional<Held> held() const = 0;
    // Empty on success, otherwise why the record could not be kept.
    virtual QString store(const Held &held) = 0;
};

// The record as a small settings file beside the calendar: <confg>/controller.ini.
class ConfgHeldRecord : public HeldRecord
{
public:
    std::optional<Held> held() const override;
    QString store(const Held &held) override;
    static QString path();
};

} // namespace qmv::calendar
