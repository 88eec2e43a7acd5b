// Start-up, resize and shutdown of the main window.
#include "shell/Form1.h"

#include "common/Colours.h"
#include "common/Twips.h"
#include "analysis/AnalysisWindow.h"
#include "looptest/RunControl.h"
#include "module/CommandSet.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/PlainPaint.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "platform/WidgetColours.h"
#include "ports/PortSelection.h"
#include "analysis/RunRecorder.h"
#include "gps/DatumPoint.h"
#include "results/LogWriters.h"
#include "shell/FormCaptions.h"
#include "shell/SettingsFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>
#include <QScreen>

#include <cstdio>

namespace {

// The window's design sizes and the sizes the resize rule works from, twips.
constexpr int kStartWidth = kStartWidthTwips;
constexpr int kStartHeight = kStartHeightTwips;
constexpr int kLogFrameWidth = 12855;
constexpr int kLogFrameHeight = 1815;
constexpr int kLogTextWidth = 12495;
constexpr int kLogTextHeight = 975;
constexpr int kLogTextGrowBase = 875;

// Every control and the form itself: 9 points in the given families.
QFont fontWith(const QFont& base, const QStringList& families) {
    QFont f = base;
    f.setFamilies(families);
    f.setPointSizeF(9);
    return f;
}

// A run locks the group boxes (disabled, so nothing in them takes input);
// the counters, signal strengths, times, logs and captions in them are
// still what the operator watches, so they draw in a locked box as they do
// in an open one.
void keepColoursWhenLocked(QWidget* w) {
    QPalette p = w->palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::Base, QPalette::Window,
                                     QPalette::Button, QPalette::Light, QPalette::Dark, QPalette::Mid,
                                     QPalette::Shadow, QPalette::Midlight})
        p.setColor(QPalette::Disabled, role, p.color(QPalette::Active, role));
    w->setPalette(p);
}

} // namespace

void Form1::bindControlArrays() {
    FormLabel = {ui.FormLabel_0, ui.FormLabel_1, ui.FormLabel_2, ui.FormLabel_3, ui.FormLabel_4, ui.FormLabel_5, ui.FormLabel_6};
    Frame = {ui.Frame_0, ui.Frame_1, ui.Frame_2, ui.Frame_3, ui.Frame_4, ui.Frame_5, ui.Frame_6};
    RFLevel = {ui.RFLevel_0, ui.RFLevel_1, ui.RFLevel_2, ui.RFLevel_3, ui.RFLevel_4,
               ui.RFLevel_5, ui.RFLevel_6, ui.RFLevel_7, ui.RFLevel_8};
    LoRaTxTime = {ui.LoRaTxTime_0, ui.LoRaTxTime_1, ui.LoRaTxTime_2, ui.LoRaTxTime_3, ui.LoRaTxTime_4, ui.LoRaTxTime_5};
    TestStartSW = {ui.TestStartSW_0, ui.TestStartSW_1};
    RssiGraph_Sel = {ui.RssiGraph_Sel_0, ui.RssiGraph_Sel_1};

    // Names as the rest of the system knows them: arrays as Name(i); every
    // control without a caption of its own also carries its name as its
    // accessible name.
    const auto children = findChildren<QWidget*>();
    for (QWidget* w : children) {
        QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        const int us = name.lastIndexOf(u'_');
        static const QStringList arrays{"FormLabel", "Frame", "RFLevel", "LoRaTxTime", "TestStartSW", "RssiGraph_Sel"};
        if (us > 0 && arrays.contains(name.left(us)))
            name = name.left(us) + u'(' + name.mid(us + 1) + u')';
        w->setObjectName(name);
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QListWidget*>(w) || name == QLatin1String("Picture1"))
            w->setAccessibleName(name);
    }
    shell::tieCaptions(ui);

    // Fonts: the proportional gothic for the window; the form marks the
    // controls that take the fixed-pitch gothic (the large text boxes and
    // captions with blanks as room for a text box) or the serif face (the
    // counters) with its "typeface" property.
    const QStringList gothicP{"ＭＳ Ｐゴシック", "Noto Sans CJK JP"};
    const QStringList gothic{"ＭＳ ゴシック", "Noto Sans Mono CJK JP"};
    const QStringList mincho{"ＭＳ 明朝", "Noto Serif CJK JP"};
    for (QWidget* w : children) {
        const QString face = w->property("typeface").toString();
        const QStringList& families = face == QLatin1String("fixed") ? gothic
                                    : face == QLatin1String("serif") ? mincho
                                                                     : gothicP;
        const bool bold = w->font().bold();
        QFont f = fontWith(w->font(), families);
        f.setBold(bold);
        w->setFont(f);
    }
    setFont(fontWith(font(), gothicP));
    // What shows a value keeps its colours in a locked group box; the port
    // boxes are entry fields only and look locked when they are.
    for (QWidget* w : children) {
        const bool showsValue = qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
                                qobject_cast<QPlainTextEdit*>(w);
        if (showsValue && w != ui.Com_Port && w != ui.GPS_Port && !qobject_cast<QComboBox*>(w->parentWidget()))
            keepColoursWhenLocked(w);
    }
    // The numbers a run rewrites every step and tick (counters, signal
    // strengths, elapsed time, GPS figures) are laid out without the font's
    // shaping rules: digits, signs, points and blanks come out the same
    // either way, and shaping is most of the cost of showing a new number.
    // So are the boxes a step rewrites in the fixed-pitch face (received
    // text, map lines; a fixed-pitch face has no kerning to apply) and the
    // response-time history (numbers only). The communication log and the
    // GPS text are proportional: kerning shows there, they keep shaping.
    const std::initializer_list<QWidget*> rewrittenOften = {
        ui.KeikaTime, ui.Tx_Count, ui.FSK_OK, ui.FSK_Err, ui.FSKData, ui.Rx_Rssi, ui.AckRssi, ui.Rx_RssiAve,
        ui.AckRssiAve, ui.NoiseRssi, ui.Npos, ui.Epos, ui.Mpos, ui.EiseiN, ui.NposGmap, ui.EposGmap,
        ui.WGS84_Kyori, ui.RxText, ui.MapText, ui.RxTimeHist};
    for (QWidget* rewritten : rewrittenOften) {
        QFont f = rewritten->font();
        f.setStyleStrategy(plainpaint::off(u"shaping") ? QFont::PreferDefault : QFont::PreferNoShaping);
        rewritten->setFont(f);
    }
    // The file-name fields start light red until their text first changes.
    setBackColour(ui.LogFileName, 0xC0C0FF);
    setBackColour(ui.MapFileName, 0xC0C0FF);
}

void Form1::Form_Load() {
    // 1. Caption with the version.
    setWindowTitle(windowTitle() + QStringLiteral("   Ver.= ") +
                   versionText());
    // 2. Start-up size (outer size; the frame is added by the window system).
    resize(twipsToPixels(kStartWidth), twipsToPixels(kStartHeight));
    // 3. Timer resolution: every timer of the program is a precise timer.
    // 4. The port list is hidden and disabled.
    portsel::hideList(ui.Com_PortList);
    // 5. Graph scale labels, one every 20 dB over the graph's height.
    const float step = (float(pixelsToTwips(ui.Picture1->height())) - 30.0f) / 180.0f * 20.0f;
    const int picTop = pixelsToTwips(ui.Picture1->y());
    for (int i = 0; i < 9; ++i)
        RFLevel[i]->move(RFLevel[i]->x(), twipsToPixels(picTop + 90 + i * step));
    ui.Label25->move(ui.Label25->x(), twipsToPixels(pixelsToTwips(RFLevel[8]->y()) + 240));
    // 6. GPS baud rates.
    ui.GPS_Baudrate->clear();
    ui.GPS_Baudrate->addItems({"4800", "9600", "19200", "38400", "57600"});
    ui.GPS_Baudrate->setCurrentIndex(1);
    // 7. Test packet.
    ui.TxCmd->setText(QStringLiteral("@DT05"));
    st.ExpectedAnswerHex = cmdset::kExpectedAnswerHex;
    // 8, 9. Minimum periods and the period fields.
    st.FSKMinTxTime = 300;
    ui.FSKTxTime->setText(QString::number(st.FSKMinTxTime));
    st.LoRaMinTxTime = {3700, 5800, 10000, 19000, 34000, 66000};
    for (int i = 0; i < 6; ++i)
        LoRaTxTime[i]->setText(QString::number(st.LoRaMinTxTime[i]));
    // 10. Colours.
    st.NormalBackColor = 0x80000005;
    st.WarningBackColor = 0xC0C0FF;
    st.SelectedBackColor = 0x00FFFF;
    st.RxBarColor = 0x00C000;
    st.RxAverageColor = 0x0000FF;
    st.GraphBackColor = 0xE0E0E0;
    st.GridColor = 0xC0C0C0;
    st.NoiseColor = 0x808080;
    st.AckAverageColor = 0xFF0000;
    ui.Picture1->clear(colourFromValue(st.GraphBackColor));
    // 11. Status captions.
    ui.GPSMessage->clear();
    ui.ComMessage->clear();
    ui.TestMode->clear();
    ui.Message->clear();
    // 12. File name headers from today's date.
    ui.LogFileHedder->setText(svc.clock->now().toString(QStringLiteral("yyMMdd")) + QStringLiteral("_Mode_"));
    ui.MapFileHedder->setText(ui.LogFileHedder->text() + QStringLiteral("Map_"));
    // 13. GPS redisplay condition.
    ui.GPSdata_clr->clear();
    ui.GPSdata_clr->addItems({"$GPGGA", "$GPGSA", "$GPGSV", "$GPRMC"});
    ui.GPSdata_clr->setCurrentIndex(0);
    // 14. The file dialogs start in the program's folder (the dialog service
    // sets the filter and remembers the last name).
    svc.dialogs->setInitialFolder(svc.appDir);
    // Timers: all 100 ms; only the GPS timer runs from the start.
    for (Timer* t : {GPSTimer, InitialTimer, Tx_Timer, Timer1})
        t->setInterval(100);
    GPSTimer->setEnabled(true);
    // 15. Settings.
    settings->LoadSettings();
}

void Form1::Form_Resize() {
    // The window's size as the program set it at start-up (the window
    // system's frame varies between desktops and is not counted).
    const QSize outer = size();
    const int w = pixelsToTwips(outer.width());
    const int h = pixelsToTwips(outer.height());
    const int dw = w > kStartWidth ? w - kStartWidth : 0;
    const int frameH = h > kStartHeight ? kLogFrameHeight + (h - kStartHeight) : kLogFrameHeight;
    const int textH = h > kStartHeight ? kLogTextGrowBase + (h - kStartHeight) : kLogTextHeight;
    ui.Frame_4->resize(twipsToPixels(kLogFrameWidth + dw), twipsToPixels(frameH));
    ui.LogText->resize(twipsToPixels(kLogTextWidth + dw), twipsToPixels(textH));
}

void Form1::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    run->windowClosing();
    logs->finish();
    if (MSComm1->isOpen())
        MSComm1->close();
    if (MSComm2->isOpen())
        MSComm2->close();
    settings->SaveSettings();
    reportLostLines();
}

bool Form1::someFileNotWrittenWhole() const {
    return !logs->everyLineWritten() || !recorder->everyLineWritten() || settings->saveFailed() ||
           datum->saveFailed();
}

void Form1::reportLostLines() const {
    // One line per file that lost lines, so what is missing can be told at
    // a glance after the run (the failures themselves were reported when
    // they happened, with their reasons).
    for (const QMap<QString, int>* lost : {&logs->linesLost(), &recorder->linesLost()})
        for (auto it = lost->cbegin(); it != lost->cend(); ++it)
            std::fprintf(stderr, "qvx-loopback: lines lost: %s: %d\n", qPrintable(it.key()), it.value());
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
    shapeOnlyWhatIsInView();
}

void Form1::shapeOnlyWhatIsInView() {
    // The raw hex dump and the answer it is searched for are rewritten with
    // every byte received, and they sit in the part of the window that is
    // out of view until the operator widens it. While no part of them can
    // be seen they are laid out without the font's shaping rules (kerning
    // moves some letter pairs of a hex dump by a pixel; shaping is most of
    // the cost of each rewrite); as soon as any part can, with them.
    if (plainpaint::off(u"shaping"))
        return;
    for (QLineEdit* field : {ui.RxData, ui.ChkData}) {
        const bool inView = rect().intersects(QRect(field->mapTo(this, QPoint()), field->size()));
        const QFont::StyleStrategy wanted = inView ? QFont::PreferDefault : QFont::PreferNoShaping;
        QFont font = field->font();
        if (font.styleStrategy() != wanted) {
            font.setStyleStrategy(wanted);
            field->setFont(font);
        }
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    Form_Unload();
    // The analysis window goes with the main window (the program ends when
    // the main window closes).
    analysisWindow->close();
    event->accept();
}
