// What the operator reads on the window: every caption and unit fully in
// view with the window's real fonts, the packet row showing its command
// prefix once, a map view wide enough for whole map lines, the graph
// surface of the size its scale is made for, and the live values of a run
// drawn in their normal colours while the frames are locked, and the
// window's ways of drawing less that must not change how it looks.
#include "WindowHarness.h"
#include "common/Twips.h"
#include "looptest/RssiGraph.h"
#include "platform/PictureStyle.h"
#include "platform/Timer.h"
#include "radio_scripted_module.h"

#include <QScrollBar>
#include <QtTest>

namespace {

// The inked rectangle of each blank-separated word of a label's caption, in
// the coordinates of the label's parent, laid out as QLabel draws plain
// text (left aligned after its indent, vertically centred in the contents
// rectangle).
struct Word {
    QString text;
    QRect ink;
};
QList<Word> inkedWords(const QLabel* label) {
    const QFontMetrics fm(label->font());
    QRect cr = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
    cr.setLeft(cr.left() + std::max(label->indent(), 0));
    const int baseline = cr.top() + (cr.height() - fm.height()) / 2 + fm.ascent();
    const QString text = label->text();
    QList<Word> words;
    for (int i = 0; i < text.size();) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        int end = i;
        while (end < text.size() && !text[end].isSpace()) ++end;
        const QString word = text.mid(i, end - i);
        const QRect tight = fm.tightBoundingRect(word);
        const int x = cr.left() + fm.horizontalAdvance(text.left(i));
        words.append({word, tight.translated(x, baseline).translated(label->pos())});
        i = end;
    }
    return words;
}

// Starts a counted run against the scripted module on COM3, the log file
// name left empty (its warning colour shows).
void startCountedRun(Form1& f, ScriptedModule& module) {
    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    module.setUp(-1);
    module.answers["@DT05001XX"] = QByteArray("*DR=05001") + char(0xFF) + char(0xB5) + "\r\n";
    module.answers["@RS"] = "*RS=-70dBm\r\n";
    inside(f).ui.LogFileName->setText(QString());
    inside(f).TestStartSW[1]->click();
}

} // namespace

class ShellReadableTest : public QObject {
    Q_OBJECT

    // Status labels hold nothing at start-up: give them the longest texts
    // the program writes into them.
    static void fillStatusTexts(Form1& f) {
        inside(f).ui.ComMessage->setText(QStringLiteral("Comポート異常検出"));
        inside(f).ui.GPSMessage->setText(QStringLiteral("ポート･設定確認"));
        inside(f).ui.TestMode->setText(QStringLiteral("LoRa"));
        inside(f).ui.Message->setText(QStringLiteral("応答無 ,FSK/LoRa Command Modeに設定！"));
        inside(f).ui.LogFileHedder->setText(QStringLiteral("261207_LoRa1024_"));
        inside(f).ui.MapFileHedder->setText(QStringLiteral("261207_LoRa1024_Map_"));
    }

private slots:
    void noCaptionIsCoveredOrCut() {
        WindowHarness h;
        Form1& f = h.start();
        fillStatusTexts(f);
        QStringList faults;
        for (QLabel* label : f.findChildren<QLabel*>()) {
            QWidget* parent = label->parentWidget();
            if (label->text().isEmpty() || !label->isVisibleTo(&f) || label->y() < 0)
                continue;
            QVERIFY2(label->alignment() == (Qt::AlignLeft | Qt::AlignVCenter), qPrintable(label->objectName()));
            const QRect inside = label->geometry().intersected(parent->rect());
            for (const Word& w : inkedWords(label)) {
                if (!inside.contains(w.ink))
                    faults << label->objectName() + " '" + w.text + "' is cut by its own edges " +
                                  QString("%1,%2 %3x%4").arg(w.ink.x()).arg(w.ink.y()).arg(w.ink.width()).arg(w.ink.height());
                for (QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                    if (other == label || !other->isVisibleTo(&f) || !other->geometry().intersects(w.ink))
                        continue;
                    // TxCmd stands over the command prefix of Label1's caption, in its place.
                    const bool prefix = (label == ::inside(f).ui.Label1 && other == ::inside(f).ui.TxCmd) ||
                                        (label == ::inside(f).ui.TxCmd && other == ::inside(f).ui.Label1);
                    if (prefix && w.text == ::inside(f).ui.TxCmd->text())
                        continue;
                    faults << label->objectName() + " '" + w.text + "' lies under " + other->objectName();
                }
            }
        }
        for (QAbstractButton* b : f.findChildren<QAbstractButton*>())
            if ((qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b)) && b->width() < b->sizeHint().width())
                faults << b->objectName() + " is narrower than its caption";
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void packetRowShowsItsPrefixOnce() {
        WindowHarness h;
        Form1& f = h.start();
        const QList<Word> words = inkedWords(inside(f).ui.Label1);
        QCOMPARE(words.size(), 2);
        QCOMPARE(words[1].text, inside(f).ui.TxCmd->text());
        // TxCmd covers the prefix of Label1 with its own background, above
        // it, and writes its text where Label1's prefix would stand.
        QVERIFY(inside(f).ui.TxCmd->autoFillBackground());
        QVERIFY(inside(f).ui.TxCmd->geometry().contains(words[1].ink));
        const QObjectList& order = inside(f).ui.Frame_2->children();
        QVERIFY(order.indexOf(inside(f).ui.TxCmd) > order.indexOf(inside(f).ui.Label1));
        QCOMPARE(inside(f).ui.TxCmd->font(), inside(f).ui.Label1->font());
        QCOMPARE(inkedWords(inside(f).ui.TxCmd).first().ink, words[1].ink);
    }

    void mapViewShowsWholeLines() {
        WindowHarness h;
        Form1& f = h.start();
        QPlainTextEdit* map = inside(f).ui.MapText;
        const QFontMetrics fm(map->font());
        const int margins = 2 * int(map->document()->documentMargin()) + 2;
        const QString line = QStringLiteral(" 35.6520566, 139.761315, 140.5,-78,-80,-110");
        QVERIFY2(map->viewport()->width() >= fm.horizontalAdvance(line) + margins,
                 qPrintable(QString::number(map->viewport()->width())));
        QVERIFY2(map->viewport()->height() >= 5 * fm.lineSpacing() + margins,
                 qPrintable(QString::number(map->viewport()->height())));
        QVERIFY(f.rect().contains(QRect(map->mapTo(&f, QPoint(0, 0)), map->size())));
    }

    // During a run the frames are locked (the operator cannot type into any
    // of them, the run length included), but every value in them is drawn
    // exactly as in an unlocked frame.
    void liveValuesKeepTheirColoursWhileLocked() {
        WindowHarness h;
        FakeDevice* dev = h.ports.addDevice(QStringLiteral("COM3"));
        ScriptedModule module(h, dev);
        Form1& f = h.start();
        inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
        module.setUp(-1);
        module.answers["@DT05001XX"] = QByteArray("*DR=05001") + char(0xFF) + char(0xB5) + "\r\n";
        module.answers["@RS"] = "*RS=-70dBm\r\n";
        inside(f).TestStartSW[1]->click();
        h.advance(600 + 300 + 150);   // initialisation, the first exchange, half a period
        QCOMPARE(inside(f).ui.Tx_Count->text(), QString("2"));
        QCOMPARE(inside(f).ui.FSK_OK->text(), QString("1"));
        QVERIFY(!inside(f).ui.KeikaTime->text().isEmpty() && !inside(f).ui.LogText->toPlainText().isEmpty());

        QStringList greyed;
        for (int i = 1; i <= 6; ++i) {
            QGroupBox* frame = inside(f).Frame[i];
            QVERIFY(!frame->isEnabled());
            for (QWidget* w : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const bool showsValue = qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) ||
                                        qobject_cast<QPlainTextEdit*>(w);
                if (!showsValue || w == inside(f).ui.Com_Port || w == inside(f).ui.GPS_Port || w->y() < 0)
                    continue;
                const QImage locked = w->grab().toImage();
                frame->setEnabled(true);
                const QImage open = w->grab().toImage();
                frame->setEnabled(false);
                if (locked != open)
                    greyed << w->objectName();
            }
        }
        QVERIFY2(greyed.isEmpty(), qPrintable(greyed.join(' ')));
        QVERIFY(!inside(f).ui.Tx_CnEnd->isEnabled());
    }

    // Labels, fields, text boxes and scroll bars paint their own background
    // (so a changed value does not repaint the frame and window beneath
    // it): the window is pixel for pixel what it is when they leave their
    // background to the frame and window, at rest and in a run with locked
    // frames, warning colours and logs.
    void ownBackgroundsLookAsTheWindowBehindThem() {
        WindowHarness h;
        FakeDevice* dev = h.ports.addDevice(QStringLiteral("COM3"));
        ScriptedModule module(h, dev);
        Form1& f = h.start();
        QList<QWidget*> own;
        for (QWidget* w : f.findChildren<QWidget*>())
            if (w->property("ownBackground").toBool()) own << w;
        QVERIFY(own.contains(inside(f).ui.KeikaTime) && own.contains(inside(f).ui.Message) && own.contains(inside(f).ui.LogText));
        const auto differs = [&] {
            const QImage shown = f.grab().toImage();
            for (QWidget* w : own) w->setAutoFillBackground(false);
            const QImage beneath = f.grab().toImage();
            for (QWidget* w : own) w->setAutoFillBackground(true);
            return shown != beneath;
        };
        QVERIFY(!differs());

        startCountedRun(f, module);
        h.advance(600 + 300 + 150);
        QVERIFY(!inside(f).Frame[1]->isEnabled() && !inside(f).ui.LogText->toPlainText().isEmpty());
        QVERIFY(!differs());
    }

    // Fields and scroll bars drawn from the style's pictures look exactly as
    // drawn in place, in every state a run shows (locked frames, a warning
    // colour, log boxes scrolled to their ends, a focused field), and a
    // repaint of an unchanged look draws nothing anew.
    void framesFromPicturesLookAsDrawnInPlace() {
        WindowHarness h;
        FakeDevice* dev = h.ports.addDevice(QStringLiteral("COM3"));
        ScriptedModule module(h, dev);
        Form1& f = h.start();
        QList<QWidget*> pictured;
        const PictureStyle* style = nullptr;
        for (QWidget* w : f.findChildren<QWidget*>())
            if (auto* s = dynamic_cast<const PictureStyle*>(w->style())) {
                pictured << w;
                style = s;
            }
        QVERIFY(style && pictured.contains(inside(f).ui.KeikaTime) && pictured.contains(inside(f).ui.LogText->verticalScrollBar()));
        const auto differs = [&] {
            const QImage shown = f.grab().toImage();
            for (QWidget* w : pictured) w->setStyle(nullptr);
            const QImage inPlace = f.grab().toImage();
            for (QWidget* w : pictured) w->setStyle(const_cast<PictureStyle*>(style));
            return shown != inPlace;
        };
        QVERIFY(!differs());

        startCountedRun(f, module);
        h.advance(600 + 300 * 4 + 150);
        QScrollBar* bar = inside(f).ui.LogText->verticalScrollBar();
        const int earlier = bar->maximum();
        QVERIFY(!inside(f).Frame[1]->isEnabled() && earlier > 0);
        QVERIFY(!differs());
        h.advance(300 * 4);
        QVERIFY(bar->maximum() > earlier);
        inside(f).ui.Tx_CnEnd->setFocus();
        QVERIFY(!differs());
        // Unlocked, the log box scrolled to its top and back to its end.
        for (int i = 1; i <= 6; ++i) inside(f).Frame[i]->setEnabled(true);
        for (int value : {0, bar->maximum()}) {
            bar->setValue(value);
            QVERIFY2(!differs(), qPrintable(QString::number(value)));
        }

        f.grab();
        const int drawn = style->picturesDrawn();
        f.grab();
        QCOMPARE(style->picturesDrawn(), drawn);
    }

    // A scroll bar's picture serves every range and position that puts its
    // parts on the same pixels: a history growing by a line each step, the
    // handle anywhere in it, shown from a picture made for another range,
    // looks as the bar drawn in place.
    void barPicturesServeEveryRangeAlike() {
        WindowHarness h;
        Form1& f = h.start();
        QScrollBar* bar = inside(f).ui.RxTimeHist->verticalScrollBar();
        auto* style = dynamic_cast<PictureStyle*>(bar->style());
        QVERIFY(style);
        int compared = 0;
        const int drawnBefore = style->picturesDrawn();
        for (int max = 0; max <= 130; ++max) {
            for (int value : {max, max / 2, 0}) {
                bar->setRange(0, max);
                bar->setValue(value);
                const QImage shown = bar->grab().toImage();
                bar->setStyle(nullptr);
                const QImage inPlace = bar->grab().toImage();
                bar->setStyle(style);
                QVERIFY2(shown == inPlace, qPrintable(QStringLiteral("range 0-%1 at %2").arg(max).arg(value)));
                ++compared;
            }
        }
        // Far fewer pictures than looks compared: most came from pictures
        // made for other ranges.
        QVERIFY2(style->picturesDrawn() - drawnBefore < compared / 3,
                 qPrintable(QString::number(style->picturesDrawn() - drawnBefore)));
    }

    // The raw hex dump and the answer searched for in it skip the font's
    // shaping only while they are out of view: widening the window until
    // any part of them shows lays them out with it.
    void hexDumpIsShapedWhenInView() {
        WindowHarness h;
        Form1& f = h.start();
        const auto shaped = [&] {
            return !(inside(f).ui.RxData->font().styleStrategy() & QFont::PreferNoShaping) &&
                   !(inside(f).ui.ChkData->font().styleStrategy() & QFont::PreferNoShaping);
        };
        const QSize start = f.size();
        QVERIFY(!shaped());
        const int rxLeft = inside(f).ui.RxData->mapTo(&f, QPoint()).x();
        f.resize(rxLeft + 1, start.height());
        QVERIFY(shaped());
        f.resize(start);
        QVERIFY(!shaped());
        inside(f).ui.RxData->setText(QStringLiteral("2A 44 52 3D 30 35 "));
        QCOMPARE(inside(f).ui.RxData->text(), QStringLiteral("2A 44 52 3D 30 35 "));
    }

    // The numbers a run rewrites every step and tick skip the font's shaping
    // rules: for every kind of number they show, the window is pixel for
    // pixel what it is with the rules applied.
    void numbersLookTheSameUnshaped() {
        WindowHarness h;
        Form1& f = h.start();
        QList<QLineEdit*> unshaped;
        for (QLineEdit* e : f.findChildren<QLineEdit*>())
            if (e->font().styleStrategy() & QFont::PreferNoShaping) unshaped << e;
        for (QLineEdit* e : {inside(f).ui.KeikaTime, inside(f).ui.Tx_Count, inside(f).ui.FSK_OK, inside(f).ui.Rx_Rssi, inside(f).ui.NoiseRssi, inside(f).ui.WGS84_Kyori})
            QVERIFY2(unshaped.contains(e), qPrintable(e->objectName()));
        const auto setStrategy = [&](QFont::StyleStrategy strategy) {
            for (QLineEdit* e : unshaped) {
                QFont font = e->font();
                font.setStyleStrategy(strategy);
                e->setFont(font);
            }
        };
        for (const QString& number : {QStringLiteral("-112"), QStringLiteral("1234567890"), QStringLiteral(" 35.6812183"),
                                      QStringLiteral("-75.25"), QStringLiteral("007")}) {
            for (QLineEdit* e : unshaped) e->setText(number);
            const QImage unshapedLook = f.grab().toImage();
            setStrategy(QFont::PreferDefault);
            const QImage shapedLook = f.grab().toImage();
            setStrategy(QFont::PreferNoShaping);
            QVERIFY2(unshapedLook == shapedLook, qPrintable(number));
        }
    }

    // So do the boxes a step rewrites without them, for what they show:
    // received text with its markers and dots, response times, map lines.
    void boxesLookTheSameUnshaped() {
        WindowHarness h;
        Form1& f = h.start();
        const QString dots = QString(2, QChar(0xFF65));
        const QList<std::pair<QPlainTextEdit*, QString>> shown = {
            {inside(f).ui.RxText, QStringLiteral("*RA=-112dBm[Cr][Lf]*DR=05015") + dots + QStringLiteral("[Cr][Lf]*RS=-78dBm[Cr][Lf]")},
            {inside(f).ui.RxTimeHist, QStringLiteral(" 60\n 61\n-1\n 1234")},
            {inside(f).ui.MapText, QStringLiteral("35.6812883, 139.76721, 40.5,-75,-94,-116\n35.68128, 139.7671983, 40.5,,,-115")}};
        for (const auto& [box, text] : shown) {
            QVERIFY2(box->font().styleStrategy() & QFont::PreferNoShaping, qPrintable(box->objectName()));
            box->setPlainText(text);
            const QImage unshapedLook = box->grab().toImage();
            QFont font = box->font();
            font.setStyleStrategy(QFont::PreferDefault);
            box->setFont(font);
            QVERIFY2(box->grab().toImage() == unshapedLook, qPrintable(box->objectName()));
        }
    }

    void graphSurfaceHasItsScaleSize() {
        WindowHarness h;
        Form1& f = h.start();
        RssiGraph* g = inside(f).ui.Picture1;
        // The picture box as the scale labels are placed from it, with a
        // one-pixel frame around a 341 x 216 drawing surface.
        QCOMPARE(pixelsToTwips(g->y()), 2880);
        QCOMPARE(pixelsToTwips(g->height()), 3270);
        QCOMPARE(g->contentsRect().size(), QSize(341, 216));
        QCOMPARE(g->image().size(), QSize(341, 216));
    }
};

QTEST_MAIN(ShellReadableTest)
#include "shell_readable_test.moc"
