#include "shell/SettingsFile.h"

#include "common/NumberText.h"
#include "common/TextFile.h"
#include "common/WholeFile.h"
#include "common/Twips.h"
#include "form/FormFacts.h"
#include "form/FormState.h"
#include "shell/FieldRules.h"
#include "shell/SettingsCodec.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <cstdio>

namespace {
constexpr int kWindowWidth = kStartWidthTwips;
constexpr int kWindowHeight = kStartHeightTwips;
}

SettingsFile::SettingsFile(const SettingsView& view, QObject* parent) : QObject(parent), f(view) {}

QString SettingsFile::path() const { return f.appDir + QStringLiteral("/") + f.baseName + QStringLiteral(".ini"); }

void SettingsFile::applyPosition(bool top, const QString& value) {
    QSize screen = f.screenTwips;
    if (screen.isEmpty()) {
        const QScreen* s = QGuiApplication::primaryScreen();
        screen = s ? s->availableGeometry().size() * kTwipsPerPixel : QSize(kWindowWidth, kWindowHeight);
    }
    const double limit = top ? screen.height() - kWindowHeight : screen.width() - kWindowWidth;
    const double v = numtext::leadingNumber(value);
    double pos = v;
    if (!(v >= 0 && v <= limit))
        pos = v < 0 ? 0 : limit;
    const QPoint at = f.form->pos();
    if (top)
        f.form->move(at.x(), twipsToPixels(pos));
    else
        f.form->move(twipsToPixels(pos), at.y());
}

void SettingsFile::LoadSettings() {
    const QString file = path();
    // A missing file is created empty; an existing one is left unchanged.
    if (!QFileInfo::exists(file)) {
        QFile create(file);
        if (!create.open(QIODevice::WriteOnly | QIODevice::Append)) {
            f.Message->setText(QStringLiteral("設定ファイル作成異常: ") + QFileInfo(file).fileName());
            return;
        }
    }
    QString text;
    if (!textfile::read(file, &text)) {
        readFailed_ = true;
        f.Message->setText(QStringLiteral("設定ファイル読込異常: ") + QFileInfo(file).fileName());
        return;
    }
    auto period = [](QLineEdit* box, const QString& value, int minimum) {
        box->setText(value);
        FieldRules::applyMinimum(box, minimum);
    };
    // A file the writer could not have made is still read by the rule, but
    // kept as it is beside the new one before shutdown replaces it; where
    // no copy can be kept, it is not replaced at all.
    const QString unreadable = settingscodec::unreadableReason(text);
    if (!unreadable.isEmpty() && !keepUnreadableCopy(file, unreadable))
        readFailed_ = true;
    const auto records = settingscodec::read(text);
    for (const auto& [key, value] : records) {
        if (key == QLatin1String("Form1_Top"))
            applyPosition(true, value);
        else if (key == QLatin1String("Form1_Left"))
            applyPosition(false, value);
        else if (key == QLatin1String("Tx_Com"))
            f.Com_Port->setText(value);
        else if (key == QLatin1String("GPS_Com"))
            f.GPS_Port->setText(value);
        else if (key == QLatin1String("GPS_Baudrate"))
            f.GPS_Baudrate->setCurrentText(value);
        else if (key == QLatin1String("GPSdata_clr"))
            f.GPSdata_clr->setCurrentText(value);
        else if (key == QLatin1String("FSKTxTime"))
            period(f.FSKTxTime, value, f.FSKMinTxTime);
        else if (key == QLatin1String("TX_CnEnd"))
            f.Tx_CnEnd->setText(value);
        else
            for (int i = 0; i < 6; ++i)
                if (key == QStringLiteral("LoRaTxTime(%1)").arg(i))
                    period(f.LoRaTxTime[i], value, f.LoRaMinTxTime[i]);
    }
}

bool SettingsFile::keepUnreadableCopy(const QString& file, const QString& reason) {
    const QString copy = file + QStringLiteral(".unreadable");
    QString error;
    QFile in(file);
    bool kept = false;
    if (in.open(QIODevice::ReadOnly))
        kept = wholefile::replace(copy, in.readAll(), &error);
    else
        error = in.errorString();
    if (!kept) {
        std::fprintf(stderr, "qvx-loopback: %s cannot be read as written (%s) and no copy could be kept (%s: %s); "
                     "it is left as it is at shutdown\n", qPrintable(file), qPrintable(reason), qPrintable(copy),
                     qPrintable(error));
        return false;
    }
    std::fprintf(stderr, "qvx-loopback: %s cannot be read as written (%s); read as far as it goes, and kept as %s "
                 "before shutdown replaces it\n", qPrintable(file), qPrintable(reason), qPrintable(copy));
    return true;
}

void SettingsFile::setForThisStart(QLineEdit* box, const QString& value) {
    const QString own = thisStartOnly_.contains(box) ? thisStartOnly_[box].first : box->text();
    box->setText(value);
    thisStartOnly_[box] = {own, box->text()};
}

void SettingsFile::setForThisStart(QComboBox* box, const QString& value) {
    const QString own = thisStartOnly_.contains(box) ? thisStartOnly_[box].first : box->currentText();
    box->setCurrentText(value);
    thisStartOnly_[box] = {own, box->currentText()};
}

QString SettingsFile::savedText(const QObject* control, const QString& shown) const {
    const auto it = thisStartOnly_.find(control);
    return it != thisStartOnly_.end() && it->second == shown ? it->first : shown;
}

void SettingsFile::SaveSettings() {
    if (readFailed_) {
        saveFailed_ = true;
        std::fprintf(stderr, "qvx-loopback: settings not saved: %s could not be read at start-up and is left as it is\n",
                     qPrintable(path()));
        return;
    }
    settingscodec::Values v;
    v.top = settingscodec::positionText(pixelsToTwips(f.form->pos().y()));
    v.left = settingscodec::positionText(pixelsToTwips(f.form->pos().x()));
    v.txCom = savedText(f.Com_Port, f.Com_Port->text());
    v.gpsCom = savedText(f.GPS_Port, f.GPS_Port->text());
    v.gpsBaudrate = savedText(f.GPS_Baudrate, f.GPS_Baudrate->currentText());
    v.gpsDataClr = f.GPSdata_clr->currentText();
    v.fskTxTime = f.FSKTxTime->text();
    for (QLineEdit* box : f.LoRaTxTime)
        v.loRaTxTime << box->text();
    v.txCnEnd = savedText(f.Tx_CnEnd, f.Tx_CnEnd->text());
    QString error;
    if (!textfile::write(path(), settingscodec::write(v), &error)) {
        // The file keeps what it held (written whole or not at all).
        saveFailed_ = true;
        std::fprintf(stderr, "qvx-loopback: settings not saved to %s: %s\n", qPrintable(path()), qPrintable(error));
    }
}
