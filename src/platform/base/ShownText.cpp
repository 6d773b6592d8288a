#include "platform/base/ShownText.h"

namespace shown {

QString Shown(const QString& text)
{
    if (text.size() <= MaxShownLength)
        return text;
    qsizetype kept = MaxShownLength - 16;
    // Half a surrogate pair is no character.
    if (text.at(kept - 1).isHighSurrogate())
        --kept;
    return text.left(kept) + QStringLiteral("... (%1 characters)").arg(text.size());
}

}  // namespace shown
