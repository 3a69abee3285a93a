#pragma once
#include <QString>

#include "Config.h"

namespace sor {

// The application title: the main window's caption and the title of plain boxes.
inline QString appTitle()
{
    return QStringLiteral("Интеллектуальная игра \"Sorventa\"");
}

// The program's own version ("FileVersion"), the project version.
inline QString appVersion()
{
    return QString::fromLatin1(config::kAppVersion);
}

}  // namespace sor
