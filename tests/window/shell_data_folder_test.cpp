// Where the program keeps its files: beside the executable when it runs from
// a folder of its own, in the user's data folder when it runs from an
// install, or in the folder --data-dir names; how the window and --help say
// so; and which sound files an installed program plays.
#include "WindowHarness.h"
#include "looptest/ResultSounds.h"
#include "shell/DataFolder.h"

#include <QtTest>

class DataFolderTest : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString made(const QString& rel) {
        const QString path = tmp.filePath(rel);
        QDir().mkpath(path);
        return path;
    }

private slots:
    void initTestCase() {
        QCoreApplication::setApplicationName(QStringLiteral("qvx-loopback"));
        qputenv("XDG_DATA_HOME", tmp.filePath(QStringLiteral("xdg")).toUtf8());
    }

    void folderFollowsWhereTheExecutableRuns() {
        // A build tree or a copied folder: no share folder beside bin/.
        const QString buildBin = made(QStringLiteral("build/bin"));
        QFile stray(tmp.filePath(QStringLiteral("build/share")));  // a file, not the install's folder
        QVERIFY(stray.open(QIODevice::WriteOnly));
        DataFolder d = DataFolder::resolve(buildBin, QString());
        QCOMPARE(d.kind, DataFolder::BesideExecutable);
        QCOMPARE(d.dir, buildBin);
        QCOMPARE(d.soundDir, QString());
        QCOMPARE(d.helpNote(), QString());

        // An install: the per-user folder, sounds from the install.
        const QString bin = made(QStringLiteral("usr/bin"));
        const QString share = made(QStringLiteral("usr/share/qvx-loopback"));
        d = DataFolder::resolve(bin, QString());
        QCOMPARE(d.kind, DataFolder::PerUser);
        QCOMPARE(d.dir, tmp.filePath(QStringLiteral("xdg/qvx-loopback")));
        QCOMPARE(d.soundDir, share);
        QVERIFY(!QFileInfo::exists(d.dir));  // made by create(), not by asking
        QVERIFY(d.create());
        QVERIFY(QFileInfo(d.dir).isDir());
        QVERIFY(d.helpNote().startsWith(QStringLiteral("Settings and logs: ") + d.dir + QStringLiteral(" (the per-user")));
        QVERIFY(d.helpNote().contains(QStringLiteral("else from ") + share));

        // --data-dir, relative to the working folder; sounds as before.
        QVERIFY(QDir::setCurrent(tmp.path()));
        d = DataFolder::resolve(bin, QStringLiteral("field/site3"));
        QCOMPARE(d.kind, DataFolder::Chosen);
        QCOMPARE(d.dir, tmp.filePath(QStringLiteral("field/site3")));
        QCOMPARE(d.soundDir, share);
        d = DataFolder::resolve(buildBin, QStringLiteral("field/site3"));
        QCOMPARE(d.soundDir, buildBin);
        QCOMPARE(DataFolder::resolve(buildBin, buildBin).soundDir, QString());
    }

    void windowNamesTheFolderWithoutHidingAMessage() {
        DataFolder d;
        d.kind = DataFolder::PerUser;
        d.dir = QDir::homePath() + QStringLiteral("/.local/share/qvx-loopback");
        {
            WindowHarness h;
            Form1& f = h.start();
            d.showOn(inside(f).ui.Message);
            QCOMPARE(inside(f).ui.Message->text(), QStringLiteral("データフォルダ: ~/.local/share/qvx-loopback"));
        }
        {
            WindowHarness h;
            QVERIFY(QDir(h.dir()).mkdir("qvx-loopback.ini"));  // the settings file cannot be read
            Form1& f = h.start();
            const QString message = inside(f).ui.Message->text();
            QVERIFY(message.contains("設定ファイル"));
            d.showOn(inside(f).ui.Message);
            QCOMPARE(inside(f).ui.Message->text(), message);
        }
        {
            WindowHarness h;
            Form1& f = h.start();
            DataFolder{}.showOn(inside(f).ui.Message);  // beside the executable: nothing to say
            QCOMPARE(inside(f).ui.Message->text(), QString());
        }
    }

    void installedSoundsUnlessTheUserHasOwn() {
        WindowHarness h;
        h.services.soundDir = made(QStringLiteral("usr/share/qvx-loopback"));
        QFile own(h.path(QStringLiteral("NO_COMP.wav")));
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.close();
        Form1& f = h.start();
        inside(f).sounds->PlaySuccessSound();
        inside(f).sounds->PlayFailureSound();
        QCOMPARE(h.sound.played, (QStringList{h.services.soundDir + QStringLiteral("/COMP.wav"), own.fileName()}));
    }
};

QTEST_MAIN(DataFolderTest)
#include "shell_data_folder_test.moc"
