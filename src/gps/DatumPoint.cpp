#include "gps/DatumPoint.h"

#include "common/TextFile.h"
#include "form/Window.h"
#include "gps/DatumFile.h"
#include "platform/Dialogs.h"

#include <QFileInfo>

#include <cstdio>

const QString DatumPoint::kReadFailed = QStringLiteral("原点ﾌｧｲﾙ読込異常");
const QString DatumPoint::kWriteFailed = QStringLiteral("原点ﾌｧｲﾙ保存異常");

namespace {
datumfile::Datum fromState(const FormState& st) {
    datumfile::Datum d;
    d.latitude = st.DatumLatitude;
    d.longitude = st.DatumLongitude;
    d.height = st.DatumHeight;
    d.northCorrection = st.NorthCorrection;
    d.eastCorrection = st.EastCorrection;
    return d;
}
void toState(const datumfile::Datum& d, FormState& st) {
    st.DatumLatitude = d.latitude;
    st.DatumLongitude = d.longitude;
    st.DatumHeight = d.height;
    st.NorthCorrection = d.northCorrection;
    st.EastCorrection = d.eastCorrection;
}
} // namespace

DatumPoint::DatumPoint(Window& window) : QObject(&window.form), f(window) {

}

void DatumPoint::report(const QString& message, const QString& reason) {
    // A success takes back only this part's own earlier report; the port
    // message of the GPS channel stays. The system's reason for a failure
    // is the label's tooltip while it shows.
    const QString shown = f.ui.GPSMessage->text();
    if (!message.isEmpty() || shown == kReadFailed || shown == kWriteFailed) {
        f.ui.GPSMessage->setText(message);
        f.ui.GPSMessage->setToolTip(reason);
    }
}

void DatumPoint::Geten_ReadSW_Click() {
    const QString path = f.svc.dialogs->getOpenFileName(&f.form);
    if (path.isEmpty()) return;
    QString text;
    datumfile::Datum d = fromState(f.st);
    // The corrections belong to the file they were read from: the one read
    // now has none unless it carries them itself.
    d.northCorrection = d.eastCorrection = 0;
    if (!textfile::read(path, &text) || !datumfile::apply(text, &d)) {
        report(kReadFailed);
        return;
    }
    toState(d, f.st);
    report(QString());
    emit datumChanged(f.st.DatumLatitude, f.st.DatumLongitude);
}

void DatumPoint::Geten_SetSW_Click() {
    if (f.ui.GPS_On->isChecked()) {
        f.st.DatumLatitude = f.st.LatitudeDeg;
        f.st.DatumLongitude = f.st.LongitudeDeg;
        f.st.DatumHeight = f.st.Altitude;
        // A new datum point has no corrections of its own.
        f.st.NorthCorrection = f.st.EastCorrection = 0;
        emit datumChanged(f.st.DatumLatitude, f.st.DatumLongitude);
    }
    const QString path = f.svc.dialogs->getSaveFileName(&f.form);
    if (path.isEmpty()) return;
    const QFileInfo info(path);
    if (info.exists() && info.size() > 0) {
        const QString question = path + QStringLiteral("\r\n") + QStringLiteral("このファイルはすでに存在します。")
            + QStringLiteral("\r\r\n") + QStringLiteral("上書きしますか？");
        if (!f.svc.dialogs->confirm(&f.form, question, QStringLiteral("設定ファイルの保存"))) return;
    }
    const datumfile::Lines lines{!f.ui.Npos->text().isEmpty(), !f.ui.Epos->text().isEmpty(),
                                 !f.ui.Mpos->text().isEmpty()};
    QString error;
    if (!textfile::write(path, datumfile::format(fromState(f.st), lines), &error)) {
        // The file keeps what it held (written whole or not at all).
        saveFailed_ = true;
        std::fprintf(stderr, "qvx-loopback: datum point not saved to %s: %s\n", qPrintable(path), qPrintable(error));
        report(kWriteFailed, error);
        return;
    }
    report(QString());
}
