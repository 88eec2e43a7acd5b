// The operator's input: the period rule when a field is really left (not
// when a context menu or another window takes the focus for a while) and
// what it makes of each text, the file-name fields' warning colour, the
// fixed lists of the editable combo boxes, and the real file dialogs as the
// datum buttons open them.
#include "WindowHarness.h"
#include "common/Colours.h"
#include "common/TextFile.h"
#include "platform/QtDialogs.h"

#include <QFileDialog>
#include <QtTest>

namespace {

// Runs `inspect` on the file dialog the next call opens, from inside its
// event loop; the dialog is rejected unless `inspect` closes it.
void whenDialogOpens(std::function<void(QFileDialog*)> inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        inspect(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start(10);
}

QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

} // namespace

class ShellInputTest : public QObject {
    Q_OBJECT

    static void focusOut(QWidget* w, Qt::FocusReason reason) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(w, &out);
    }

private slots:
    void periodRuleWaitsUntilTheFieldIsLeft() {
        WindowHarness h;
        Form1& f = h.start();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QLineEdit* fsk = inside(f).ui.FSKTxTime;
        fsk->setFocus(Qt::MouseFocusReason);
        QVERIFY(fsk->hasFocus());

        // Emptied, then 19000 pasted from the field's context menu.
        fsk->clear();
        focusOut(fsk, Qt::PopupFocusReason);
        QCOMPARE(fsk->text(), QString());
        fsk->insert(QStringLiteral("19000"));
        QCOMPARE(fsk->text(), QString("19000"));

        // A switch to another window and back.
        fsk->setText(QStringLiteral("250"));
        focusOut(fsk, Qt::ActiveWindowFocusReason);
        QCOMPARE(fsk->text(), QString("250"));

        // Leaving for another control of the window applies the rule.
        inside(f).LoRaTxTime[0]->setFocus(Qt::TabFocusReason);
        QVERIFY(inside(f).LoRaTxTime[0]->hasFocus());
        QCOMPARE(fsk->text(), QString("300"));
        inside(f).LoRaTxTime[0]->setText(QStringLiteral("1"));
        focusOut(inside(f).LoRaTxTime[0], Qt::PopupFocusReason);
        QCOMPARE(inside(f).LoRaTxTime[0]->text(), QString("1"));
        fsk->setFocus(Qt::MouseFocusReason);
        QCOMPARE(inside(f).LoRaTxTime[0]->text(), QString("3700"));
    }

    // The period rule on leaving a field: raised to the mode's minimum,
    // kept when at or above it (a number as typed, unit and all), the
    // minimum for an empty or non-numeric text.
    void periodRaisedOnLosingTheFocus_data() {
        QTest::addColumn<int>("field");     // -1 FSKTxTime, else LoRaTxTime(i)
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("FSK 250") << -1 << "250" << "300";
        QTest::newRow("FSK 300 stays") << -1 << "300" << "300";
        QTest::newRow("FSK 301 stays") << -1 << "301" << "301";
        QTest::newRow("FSK 5000ms as typed") << -1 << "5000ms" << "5000ms";
        QTest::newRow("FSK empty") << -1 << "" << "300";
        QTest::newRow("FSK abc") << -1 << "abc" << "300";
        QTest::newRow("LoRa 5 60000") << 5 << "60000" << "66000";
        QTest::newRow("LoRa 0 3700 stays") << 0 << "3700" << "3700";
    }
    void periodRaisedOnLosingTheFocus() {
        QFETCH(int, field);
        QFETCH(QString, typed);
        WindowHarness h;
        Form1& f = h.start();
        f.activateWindow();
        QLineEdit* box = field < 0 ? inside(f).ui.FSKTxTime : inside(f).LoRaTxTime[field];
        box->setFocus();
        box->setText(typed);
        QCOMPARE(box->text(), typed);   // not corrected while being edited
        focusOut(box, Qt::TabFocusReason);
        QTEST(box->text(), "after");
    }

    // The file-name fields are light red while empty or the placeholder
    // text, the normal background otherwise.
    void fileNameWarningColour() {
        WindowHarness h;
        Form1& f = h.start();
        const QColor warning = colourFromValue(0xC0C0FF);
        const QColor normal = QApplication::palette(inside(f).ui.LogFileName).color(QPalette::Base);
        auto base = [](QLineEdit* e) { return e->palette().color(QPalette::Base); };
        inside(f).ui.LogFileName->setText(QString());
        QCOMPARE(base(inside(f).ui.LogFileName), warning);
        inside(f).ui.LogFileName->setText(QStringLiteral("test1"));
        QCOMPARE(base(inside(f).ui.LogFileName), normal);
        inside(f).ui.LogFileName->setText(QStringLiteral("任意ファイル名"));
        QCOMPARE(base(inside(f).ui.LogFileName), warning);
        inside(f).ui.MapFileName->setText(QStringLiteral(" "));
        QCOMPARE(base(inside(f).ui.MapFileName), normal);
    }

    void comboListsStayAsSet_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("items");
        QTest::newRow("GPS_Baudrate") << "GPS_Baudrate" << 5;
        QTest::newRow("GPSdata_clr") << "GPSdata_clr" << 4;
    }
    void comboListsStayAsSet() {
        QFETCH(QString, name);
        QFETCH(int, items);
        WindowHarness h;
        Form1& f = h.start();
        auto* combo = f.findChild<QComboBox*>(name);
        QVERIFY(combo && combo->isEditable());
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), QStringLiteral("12345"));
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        QCOMPARE(combo->count(), items);
        QCOMPARE(combo->currentText(), QString("12345"));   // used as typed
    }

    // The datum buttons with the real dialogs: both start in the program's
    // folder with the position-file filter, the save dialog leaves the
    // overwrite question to the program, and a chosen name is where the
    // next dialog starts.
    void fileDialogsStartInTheProgramsFolder() {
        WindowHarness h;
        QtDialogs dialogs;
        h.services.dialogs = &dialogs;
        Form1& f = h.start();
        const QStringList filters{QStringLiteral("位置情報ﾌｧｲﾙ(*.pos)"), QStringLiteral("All File (*.*)")};

        bool seen = false;
        whenDialogOpens([&](QFileDialog* d) {
            seen = true;
            QCOMPARE(canonical(d->directory().absolutePath()), canonical(h.dir()));
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
            QCOMPARE(d->nameFilters(), filters);
        });
        inside(f).ui.Geten_ReadSW->click();
        QVERIFY(seen);

        seen = false;
        whenDialogOpens([&](QFileDialog* d) {
            seen = true;
            QCOMPARE(canonical(d->directory().absolutePath()), canonical(h.dir()));
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(d->nameFilters(), filters);
            QVERIFY(d->testOption(QFileDialog::DontConfirmOverwrite));
            QVERIFY(d->defaultSuffix().isEmpty());
        });
        inside(f).ui.Geten_SetSW->click();
        QVERIFY(seen);

        QTemporaryDir elsewhere;
        const QString pos = elsewhere.filePath(QStringLiteral("field.pos"));
        QVERIFY(textfile::write(pos, QStringLiteral("N: ,  35.5, 'x\r\n")));
        whenDialogOpens([&](QFileDialog* d) {
            auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(pos);   // typed by the operator
            static_cast<QDialog*>(d)->accept();
        });
        inside(f).ui.Geten_ReadSW->click();
        QCOMPARE(inside(f).st.DatumLatitude, 35.5);

        seen = false;
        whenDialogOpens([&](QFileDialog* d) {
            seen = true;
            QCOMPARE(canonical(d->directory().absolutePath()), canonical(elsewhere.path()));
            QCOMPARE(d->selectedFiles().size(), 1);
            QCOMPARE(canonical(d->selectedFiles().first()), canonical(pos));
        });
        inside(f).ui.Geten_SetSW->click();
        QVERIFY(seen);
    }
    // Tab walks every enabled control of the window and comes back to the
    // first: no box keeps it (the multi-line boxes took tabs as text), and
    // every box, combo and list tells a screen reader its caption.
    void keyboardReachesEveryControlAndBoxesSayTheirCaption() {
        WindowHarness h;
        Form1& f = h.start();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QSet<QWidget*> expected;
        for (QWidget* w : f.findChildren<QWidget*>())
            if (w->isVisibleTo(&f) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() &&
                w->window() == &f && !w->objectName().startsWith(QLatin1String("qt_"))) {
                // Tab enters a group of options at its chosen one; arrows move within.
                auto* option = qobject_cast<QRadioButton*>(w);
                if (!option || option->isChecked())
                    expected.insert(w);
            }
        QVERIFY(expected.contains(inside(f).ui.RxText) && expected.contains(inside(f).ui.LogFile_Flg));
        QWidget* first = inside(f).ui.Com_Port;
        first->setFocus(Qt::TabFocusReason);
        QSet<QWidget*> reached{first};
        for (int i = 0; i < 4 * expected.size() && QApplication::focusWidget() != nullptr; ++i) {
            const QString before = inside(f).ui.RxText->toPlainText() + inside(f).ui.LogText->toPlainText();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(inside(f).ui.RxText->toPlainText() + inside(f).ui.LogText->toPlainText(), before);
            if (QApplication::focusWidget() == first)
                break;
            reached.insert(QApplication::focusWidget());
        }
        QCOMPARE(QApplication::focusWidget(), first);
        QStringList missed;
        for (QWidget* w : expected)
            if (!reached.contains(w))
                missed << w->objectName();
        QVERIFY2(missed.isEmpty(), qPrintable(missed.join(u' ')));

        for (QWidget* w : f.findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QPlainTextEdit*>(w) && !qobject_cast<QComboBox*>(w) &&
                !qobject_cast<QListWidget*>(w))
                continue;
            if (qobject_cast<QComboBox*>(w->parentWidget()))
                continue;   // a combo box's own line edit
            QVERIFY2(!w->accessibleDescription().isEmpty(), qPrintable(w->objectName()));
            QCOMPARE(w->accessibleName(), w->objectName());
        }
        QCOMPARE(inside(f).ui.Label7->buddy(), static_cast<QWidget*>(inside(f).ui.Tx_Count));
        QCOMPARE(inside(f).ui.Tx_Count->accessibleDescription(), QStringLiteral("カウント"));
    }
};

QTEST_MAIN(ShellInputTest)
#include "shell_input_test.moc"
