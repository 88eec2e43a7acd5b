#pragma once
// Run start (the run buttons, BeginTestRun) and stop (StopTestRun, Timer1).
// The run buttons' captions show the state: idle "(停止中)", running
// "(送信中)" on the pressed one, stop pending "(停止準備中)" on both.
// What happened is told to the outside through runStarted and runEnded,
// never through the captions.
#include "records/Exchange.h"

#include <QObject>
#include <QString>

struct Window;
class LogWriters;
class RadioChannel;
class TestCycle;

class RunControl : public QObject {
    Q_OBJECT
public:
    RunControl(Window& window, LogWriters& logs, RadioChannel& radio, TestCycle& cycle);
    void TestStartSW_Click(int index);
    void BeginTestRun();
    // Ends the run or the initialisation at once. The cause is what the
    // RunEnd reports; a failure before the run began reports InitFailed.
    void StopTestRun(records::EndCause cause = records::EndCause::Operator);
    void Timer1_Timer();
    // The window closes: a run or initialisation still going ends as Closed.
    void windowClosing();

    static inline const QString kContinuousIdle = QStringLiteral("連続送受信(停止中)");
    static inline const QString kContinuousRunning = QStringLiteral("連続送受信(送信中)");
    static inline const QString kContinuousStopping = QStringLiteral("連続送受信(停止準備中)");
    static inline const QString kCountedIdle = QStringLiteral("指定回数送受信(停止中)");
    static inline const QString kCountedRunning = QStringLiteral("指定回数送受信(送信中)");
    static inline const QString kCountedStopping = QStringLiteral("指定回数送受信(停止準備中)");

    static inline const QString kColumnHeads = QStringLiteral(
        "試験時間,試験コマンド,応答データ,応答時間[ms],受信RSSI値,応答RSSI値,フロアノイズ,以降はGPSデータ");

signals:
    // BeginTestRun has started the test cycle.
    void runStarted(const records::RunStart& start);
    // A run or an initialisation attempt ended (once per attempt, also when
    // the initialisation failed and no runStarted came before it).
    void runEnded(const records::RunEnd& end);

private:
    enum class Phase { Idle, Initialising, Running };

    void setFramesEnabled(bool enabled);
    void completeStop();
    void endRun(records::EndCause cause);
    records::RunStart startRecord(const QDateTime& now, bool fsk, int spreading) const;

    Window& f;
    LogWriters& logs;
    RadioChannel& radio;
    TestCycle& cycle;
    Phase phase_ = Phase::Idle;
    std::uint64_t runId_ = 0;
};
