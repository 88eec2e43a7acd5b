#include "platform/PlainPaint.h"

#include <QStringList>
#include <QtGlobal>

namespace plainpaint {

bool off(QStringView piece) {
    static const QStringList named =
        qEnvironmentVariable("QVX_PLAIN_PAINT").split(u',', Qt::SkipEmptyParts);
    return named.contains(piece);
}

} // namespace plainpaint
