#include "shell/FormCaptions.h"

#include "ui_Form1.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>

namespace shell {

namespace {

// A caption as it reads: the blanks kept as room for a box collapse to one.
QString readable(const QString& caption) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return QString(caption).replace(blanks, QStringLiteral(" ")).trimmed();
}

void tie(QWidget* box, QLabel* caption, const QString& more = {}) {
    if (caption && !caption->buddy())
        caption->setBuddy(box);
    QString text = caption ? readable(caption->text()) : QString();
    if (!more.isEmpty())
        text = text.isEmpty() ? more : text + QLatin1Char(' ') + more;
    box->setAccessibleDescription(text);
}

}  // namespace

void tieCaptions(Ui::Form1& ui) {
    // Boxes with the caption to their left or above them.
    tie(ui.Com_Port, ui.Label35);
    tie(ui.GPS_Port, nullptr, ui.GPS_On->text() + QStringLiteral(" ポート"));
    tie(ui.GPS_Baudrate, nullptr, ui.GPS_On->text() + QStringLiteral(" ビットレート"));
    tie(ui.FSKTxTime, ui.Label10);
    const std::array<QLabel*, 6> lora{ui.Label14, ui.Label15, ui.Label41, ui.Label43, ui.Label44, ui.Label45};
    const std::array<QLineEdit*, 6> loraBoxes{ui.LoRaTxTime_0, ui.LoRaTxTime_1, ui.LoRaTxTime_2,
                                              ui.LoRaTxTime_3, ui.LoRaTxTime_4, ui.LoRaTxTime_5};
    for (std::size_t i = 0; i < lora.size(); ++i)
        tie(loraBoxes[i], lora[i]);
    tie(ui.FSKData, ui.Label1);
    tie(ui.FSKDmy, ui.Label1);
    tie(ui.Tx_Count, ui.Label7);
    tie(ui.Tx_CnEnd, ui.Label3);
    tie(ui.FSK_OK, ui.Label8);
    tie(ui.FSK_Err, ui.Label9);
    // The two levels share the radio buttons' captions and their unit.
    tie(ui.Rx_Rssi, nullptr, ui.RssiGraph_Sel_0->text() + QStringLiteral(" dBm"));
    tie(ui.AckRssi, nullptr, ui.RssiGraph_Sel_1->text() + QStringLiteral(" dBm"));
    tie(ui.Rx_RssiAve, ui.Label26, ui.RssiGraph_Sel_0->text());
    tie(ui.AckRssiAve, nullptr, readable(ui.Label26->text()) + QLatin1Char(' ') + ui.RssiGraph_Sel_1->text());
    tie(ui.NoiseRssi, ui.FlorLabel);
    tie(ui.KeikaTime, ui.Label11);
    tie(ui.RxText, ui.Label33);
    tie(ui.RxTimeHist, ui.Label12);
    tie(ui.EiseiN, ui.Label39);
    tie(ui.Npos, ui.Label27);
    tie(ui.Epos, ui.Label16);
    tie(ui.Mpos, ui.Label32);
    tie(ui.Nposition, ui.Label38, readable(ui.Label27->text()));
    tie(ui.Eposition, nullptr, readable(ui.Label38->text()) + QLatin1Char(' ') + readable(ui.Label16->text()));
    tie(ui.WGS84_Kyori, ui.Label21);
    tie(ui.NposGmap, ui.Label36, readable(ui.Label37->text()));
    tie(ui.EposGmap, ui.Label34, readable(ui.Label37->text()));
    tie(ui.GPSdata_clr, ui.Label4);
    tie(ui.MapFileName, ui.Label31);
    tie(ui.MapText, ui.Label29);
    tie(ui.LogFileName, ui.Label40);
    tie(ui.LogText, ui.FormLabel_3);
    tie(ui.GPposition, ui.Label18);
    tie(ui.GPSdataDisp, nullptr, readable(ui.Label29->text()));
    tie(ui.RxData, nullptr, readable(ui.Label33->text()));
    tie(ui.ChkData, ui.Label5);
    tie(ui.Com_PortList, nullptr, ui.Com_PortList->toolTip());

    // Tab moves on from the multi-line boxes as the platform's text boxes
    // do; a program-written tab never came from the keyboard anyway.
    for (QPlainTextEdit* box : {ui.RxText, ui.RxTimeHist, ui.MapText, ui.LogText, ui.GPSdataDisp})
        box->setTabChangesFocus(true);

    // The averages are longer than their boxes at times: show where they
    // start (the sign and the whole dBm), as a box set by the program does.
    for (QLineEdit* box : {ui.Rx_RssiAve, ui.AckRssiAve})
        QObject::connect(box, &QLineEdit::textChanged, box, [box] {
            if (!box->hasFocus())
                box->setCursorPosition(0);
        });
}

}  // namespace shell
