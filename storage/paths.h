#pragma once

#include <QString>

// Where the tool keeps its files: its folders lie on drive C: ("C:/") on Windows; elsewhere
// that drive is $QMV_ROOT, or ~/qmv when that is not set. The command line's --root stands for
// drive C: on every platform and beats both.
namespace qmv::paths {

void setDriveRoot(const QString &folder); // an empty folder sets none
QString driveRoot();
QString dataDir();                          // program files: <root>/qmvdata
QString tmpDir();                           // working files: <root>/tmpqmv
QString confgDir();                         // <root>/qmvdata/confg
QString workingFile(int program);           // <root>/tmpqmv/temp#N
QString joinBatch();                        // <root>/tmpqmv/junk.bat
QString programFile(const QString &name);   // <root>/qmvdata/NAME
QString vendorPicture(const QString &file); // <root>/Program Files/Quorvanite/FILE
QString messageIcon(int icon);              // <root>/bogus/images/msgbox/mCutMsgBox0N.ico

} // namespace qmv::paths
