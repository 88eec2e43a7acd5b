#include "ports/PortSelection.h"

#include "common/Twips.h"
#include "form/Window.h"
#include "platform/PortEnumerator.h"
#include "platform/SerialPort.h"

#include <QListWidget>

namespace {
// Closed list: this far above the window.
constexpr int kHiddenTopTwips = -3000;
// Gap between the port box and the list opened under it.
constexpr int kGapTwips = 30;
// The probe opens at the radio port's speed; any speed the port accepts
// serves, the port is closed again at once.
constexpr qint32 kProbeBaud = 19200;
} // namespace

namespace portsel {
QString portNameOf(const QString& entry) {
    const qsizetype comma = entry.lastIndexOf(QLatin1String(" , "));
    const QString name = comma >= 0 ? entry.left(comma) : entry;
    const qsizetype close = name.lastIndexOf(u')');
    if (close < 0) return QString();
    const qsizetype open = name.lastIndexOf(u'(', close);
    if (open < 0) return QString();
    const QString port = name.mid(open + 1, close - open - 1);
    if (port.isEmpty() || port.contains(u' ')) return QString();
    return port;
}

void hideList(QListWidget* list) {
    list->move(list->x(), twipsToPixels(kHiddenTopTwips));
    list->setEnabled(false);
}
} // namespace portsel

PortSelection::PortSelection(Window& window) : QObject(&window.form), f(window) {

}

bool PortSelection::listOpen() const { return f.ui.Com_PortList->y() >= 0; }

void PortSelection::RefreshComPortList() {
    const QStringList entries = f.svc.portList ? f.svc.portList->entries() : QStringList();
    f.ui.Com_PortList->clear();
    // The probe borrows the radio port's control; never while it is in use.
    if (!f.MSComm1->isOpen()) {
        for (const QString& entry : entries) {
            const QString port = portsel::portNameOf(entry);
            if (port.isEmpty()) continue;
            if (f.MSComm1->open(port, kProbeBaud) && f.MSComm1->isOpen())
                f.ui.Com_PortList->addItem(entry);
            f.MSComm1->close();
        }
    }
    // The GPS port also takes sources that are no serial device (a gpsd
    // answering); they follow the devices.
    if (f.st.PortListTarget == FormState::kListForGpsPort && f.svc.portList)
        f.ui.Com_PortList->addItems(f.svc.portList->gpsSources());
}

void PortSelection::openListUnder(QLineEdit* box) {
    RefreshComPortList();
    QWidget* frame = f.Frame[1];
    const int top = pixelsToTwips(box->y()) + pixelsToTwips(frame->y()) + pixelsToTwips(box->height()) + kGapTwips;
    const int left = pixelsToTwips(box->x()) + pixelsToTwips(frame->x());
    f.ui.Com_PortList->move(twipsToPixels(left), twipsToPixels(top));
    f.ui.Com_PortList->setEnabled(true);
    f.ui.Com_PortList->raise();
}

void PortSelection::togglePortList(QLineEdit* box, QPushButton* other, int target) {
    if (listOpen()) {
        portsel::hideList(f.ui.Com_PortList);
        other->setEnabled(true);
        return;
    }
    f.st.PortListTarget = target;
    openListUnder(box);
    other->setEnabled(false);
}

void PortSelection::ComSelectSW_Click() {
    togglePortList(f.ui.Com_Port, f.ui.GPS_SelectSW, FormState::kListForRadioPort);
}

void PortSelection::GPS_SelectSW_Click() {
    togglePortList(f.ui.GPS_Port, f.ui.ComSelectSW, FormState::kListForGpsPort);
}

void PortSelection::Com_PortList_Click() {
    const QListWidgetItem* item = f.ui.Com_PortList->currentItem();
    if (!item) return;
    const QString port = portsel::portNameOf(item->text());
    if (port.isEmpty()) return;
    if (f.st.PortListTarget == FormState::kListForRadioPort) f.ui.Com_Port->setText(port);
    else if (f.st.PortListTarget == FormState::kListForGpsPort) f.ui.GPS_Port->setText(port);
    portsel::hideList(f.ui.Com_PortList);
    f.ui.ComSelectSW->setEnabled(true);
    f.ui.GPS_SelectSW->setEnabled(!f.ui.GPS_On->isChecked());
}
