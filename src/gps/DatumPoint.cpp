#include "gps/DatumPoint.h"

#include "common/TextFile.h"
#include "gps/DatumFile.h"
#include "platform/Dialogs.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>

const QString DatumPoint::kReadFailed = QStringLiteral("原点ﾌｧｲﾙ読込異常");
const QString DatumPoint::kWriteFailed = QStringLiteral("原点ﾌｧｲﾙ保存異常");

namespace {
datumfile::Datum fromState(const DatumView& st) {
    datumfile::Datum d;
    d.latitude = st.DatumLatitude;
    d.longitude = st.DatumLongitude;
    d.height = st.DatumHeight;
    d.northCorrection = st.NorthCorrection;
    d.eastCorrection = st.EastCorrection;
    return d;
}
void toState(const datumfile::Datum& d, DatumView& st) {
    st.DatumLatitude = d.latitude;
    st.DatumLongitude = d.longitude;
    st.DatumHeight = d.height;
    st.NorthCorrection = d.northCorrection;
    st.EastCorrection = d.eastCorrection;
}
} // namespace

DatumPoint::DatumPoint(const DatumView& view, QObject* parent) : QObject(parent), f(view) {}

void DatumPoint::report(const QString& message, const QString& reason) {
    // A success takes back only this part's own earlier report; the port
    // message of the GPS channel stays. The system's reason for a failure
    // is the label's tooltip while it shows.
    const QString shown = f.GPSMessage->text();
    if (!message.isEmpty() || shown == kReadFailed || shown == kWriteFailed) {
        f.GPSMessage->setText(message);
        f.GPSMessage->setToolTip(reason);
    }
}

void DatumPoint::Geten_ReadSW_Click() {
    const QString path = f.dialogs->getOpenFileName(f.form);
    if (path.isEmpty()) return;
    QString text;
    datumfile::Datum d = fromState(f);
    // The corrections belong to the file they were read from: the one read
    // now has none unless it carries them itself.
    d.northCorrection = d.eastCorrection = 0;
    if (!textfile::read(path, &text) || !datumfile::apply(text, &d)) {
        report(kReadFailed);
        return;
    }
    toState(d, f);
    report(QString());
    emit datumChanged(f.DatumLatitude, f.DatumLongitude);
}

void DatumPoint::Geten_SetSW_Click() {
    if (f.GPS_On->isChecked()) {
        f.DatumLatitude = f.LatitudeDeg;
        f.DatumLongitude = f.LongitudeDeg;
        f.DatumHeight = f.Altitude;
        // A new datum point has no corrections of its own.
        f.NorthCorrection = f.EastCorrection = 0;
        emit datumChanged(f.DatumLatitude, f.DatumLongitude);
    }
    const QString path = f.dialogs->getSaveFileName(f.form);
    if (path.isEmpty()) return;
    const QFileInfo info(path);
    if (info.exists() && info.size() > 0) {
        const QString question = path + QStringLiteral("\r\n") + QStringLiteral("このファイルはすでに存在します。")
            + QStringLiteral("\r\r\n") + QStringLiteral("上書きしますか？");
        if (!f.dialogs->confirm(f.form, question, QStringLiteral("設定ファイルの保存"))) return;
    }
    const datumfile::Lines lines{!f.Npos->text().isEmpty(), !f.Epos->text().isEmpty(),
                                 !f.Mpos->text().isEmpty()};
    QString error;
    if (!textfile::write(path, datumfile::format(fromState(f), lines), &error)) {
        // The file keeps what it held (written whole or not at all).
        saveFailed_ = true;
        std::fprintf(stderr, "qvx-loopback: datum point not saved to %s: %s\n", qPrintable(path), qPrintable(error));
        report(kWriteFailed, error);
        return;
    }
    report(QString());
}
