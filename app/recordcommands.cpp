#include "recordcommands.h"

#include "controllerstate.h"

#include <QTextStream>

namespace qmv::cli {

using namespace qmv::record;

namespace {

void warn(const QStringList &warnings, QTextStream &err)
{
    for (const QString &warning : warnings)
        err << QStringLiteral("qmv: warning: ") << warning << Qt::endl;
}

} // namespace

int showStatus(QTextStream &out, QTextStream &err)
{
    const ControllerState state = controllerState();
    warn(state.warnings, err);
    out << state.statusLine() << Qt::endl;
    switch (state.knowledge) {
    case ControllerState::Knowledge::Complete:
        return 0;
    case ControllerState::Knowledge::Incomplete:
        return 1;
    case ControllerState::Knowledge::Unknown:
        break;
    }
    return 2;
}

int showHistory(int count, QTextStream &out, QTextStream &err)
{
    const History history = readHistory();
    warn(history.warnings, err);
    const qsizetype first = count > 0 ? std::max<qsizetype>(0, history.records.size() - count) : 0;
    for (qsizetype i = first; i < history.records.size(); ++i)
        out << history.records.at(i).historyLine() << Qt::endl;
    return 0;
}

int diffWithController(const QString &programFile, QTextStream &out, QTextStream &err)
{
    QString error;
    const std::optional<ProgramFile> file = readProgramFile(programFile, &error);
    if (!file) {
        err << error << Qt::endl;
        return 2;
    }
    const ControllerState state = controllerState();
    warn(state.warnings, err);
    const Comparison comparison = compare(*file, state);
    if (!comparison.known) {
        out << state.statusLine() << Qt::endl;
        return 2;
    }
    for (const QString &line : comparison.lines())
        out << line << Qt::endl;
    out << comparison.summary() << Qt::endl;
    return comparison.same() ? 0 : 1;
}

} // namespace qmv::cli
