#include "game/GameView.h"

namespace sor {

QString VariantsText(const TGameView& view)
{
    QString variants = QStringLiteral("Варианты ответов. ");
    for (int n = 1; n <= 4; ++n)
        variants += view.answerCaption(n) + QStringLiteral(". ");
    return variants;
}

}  // namespace sor
