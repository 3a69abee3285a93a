#include "platform/Installed.h"

#include <QFileInfo>

#include "Config.h"

namespace sor {

bool sameFolder(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

bool runsInstalled(const QString& programDir)
{
    return sameFolder(programDir, QString::fromLocal8Bit(config::kInstalledBinDir));
}

}  // namespace sor
