#include "platform/PortTrouble.h"

#include "platform/SerialPort.h"

#include <QTextStream>
#include <QVariant>
#include <QWidget>

namespace porttrouble {

namespace {
const char* const kOwnTip = "qvxOwnToolTip";

QString ownTip(QWidget* box) {
    if (!box->property(kOwnTip).isValid())
        box->setProperty(kOwnTip, box->toolTip());
    return box->property(kOwnTip).toString();
}
} // namespace

void tell(QWidget* box, const SerialPort& port, const QString& message) {
    const QString why = port.openFailure();
    if (why.isEmpty())
        return;
    QTextStream(stderr) << "qvx-loopback: " << message << ": " << why << Qt::endl;
    const QString own = ownTip(box);
    box->setToolTip(own.isEmpty() ? why : own + QLatin1Char('\n') + why);
}

void clear(QWidget* box) {
    if (box->property(kOwnTip).isValid())
        box->setToolTip(box->property(kOwnTip).toString());
}

} // namespace porttrouble
