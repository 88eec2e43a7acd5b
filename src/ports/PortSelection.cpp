#include "ports/PortSelection.h"

#include "common/Twips.h"
#include "form/FormState.h"
#include "platform/PortEnumerator.h"
#include "platform/SerialPort.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

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

PortSelection::PortSelection(const PortView& view, QObject* parent) : QObject(parent), f(view) {}

bool PortSelection::listOpen() const { return f.Com_PortList->y() >= 0; }

void PortSelection::RefreshComPortList() {
    const QStringList entries = f.portList ? f.portList->entries() : QStringList();
    f.Com_PortList->clear();
    // The probe borrows the radio port's control; never while it is in use.
    if (!f.MSComm1->isOpen()) {
        for (const QString& entry : entries) {
            const QString port = portsel::portNameOf(entry);
            if (port.isEmpty()) continue;
            if (f.MSComm1->open(port, kProbeBaud) && f.MSComm1->isOpen())
                f.Com_PortList->addItem(entry);
            f.MSComm1->close();
        }
    }
    // The GPS port also takes sources that are no serial device (a gpsd
    // answering); they follow the devices.
    if (f.PortListTarget == FormState::kListForGpsPort && f.portList)
        f.Com_PortList->addItems(f.portList->gpsSources());
}

void PortSelection::openListUnder(QLineEdit* box) {
    RefreshComPortList();
    const QWidget* frame = f.Frame_1;
    const int top = pixelsToTwips(box->y()) + pixelsToTwips(frame->y()) + pixelsToTwips(box->height()) + kGapTwips;
    const int left = pixelsToTwips(box->x()) + pixelsToTwips(frame->x());
    f.Com_PortList->move(twipsToPixels(left), twipsToPixels(top));
    f.Com_PortList->setEnabled(true);
    f.Com_PortList->raise();
}

// Both port buttons close an open list and free the other button, or open
// the list under their box and lock the other button.
void PortSelection::ComSelectSW_Click() {
    if (listOpen()) {
        portsel::hideList(f.Com_PortList);
        emit radioListClosed();
        return;
    }
    f.PortListTarget = FormState::kListForRadioPort;
    openListUnder(f.Com_Port);
    emit radioListOpened();
}

void PortSelection::GPS_SelectSW_Click() {
    if (listOpen()) {
        portsel::hideList(f.Com_PortList);
        f.ComSelectSW->setEnabled(true);
        return;
    }
    f.PortListTarget = FormState::kListForGpsPort;
    openListUnder(f.GPS_Port);
    f.ComSelectSW->setEnabled(false);
}

void PortSelection::Com_PortList_Click() {
    const QListWidgetItem* item = f.Com_PortList->currentItem();
    if (!item) return;
    const QString port = portsel::portNameOf(item->text());
    if (port.isEmpty()) return;
    if (f.PortListTarget == FormState::kListForRadioPort) f.Com_Port->setText(port);
    else if (f.PortListTarget == FormState::kListForGpsPort) f.GPS_Port->setText(port);
    portsel::hideList(f.Com_PortList);
    f.ComSelectSW->setEnabled(true);
    emit portChosen();
}
