#include "commandline.h"

#include "programcheck.h"
#include "programfile.h"

#include <QFileInfo>
#include <QTextStream>

namespace qmv::cli {

using namespace qmv::check;

int checkProgramFile(const QString &programFile, QTextStream &out)
{
    QString why;
    const std::optional<ProgramFile> file = readProgramFile(programFile, &why);
    if (!file) {
        out << why << Qt::endl;
        return 2;
    }
    const QList<Finding> found = findings(*file);
    for (const Finding &finding : found)
        out << finding.toString() << Qt::endl;
    if (found.isEmpty())
        out << QFileInfo(programFile).fileName() << ": no findings" << Qt::endl;
    return found.isEmpty() ? 0 : 1;
}

} // namespace qmv::cli
