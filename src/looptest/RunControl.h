#pragma once
// Run start (the run buttons, BeginTestRun) and stop (StopTestRun, Timer1).
// The run buttons' captions show the state: idle "(停止中)", running
// "(送信中)" on the pressed one, stop pending "(停止準備中)" on both.
// What happened is told to the outside through runStarted and runEnded,
// never through the captions.
#include "records/Exchange.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

class Clock;
struct FormState;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class RssiGraph;
class SerialPort;
class Timer;

// What the run start and stop touch: the run buttons and the box groups
// they lock, the radio port's box and list button (freed when the stop
// completes), the port list (hidden), the counters, the graph, the
// received-text boxes, the file headers, the elapsed time; the settings of
// the run it reads (mode, periods, length, file names, GPS使用, the
// captions a failure left); the radio port and three timers; the run's
// kind, state and periods, the RSSI histories and the result flag (its own
// with the cycle), the initialisation's step (reset here) and spreading,
// the minimum periods, the send instant and the graph colour (read).
struct RunView {
    explicit RunView(FormState& st);
    std::array<QPushButton*, 2> TestStartSW{};
    std::array<QGroupBox*, 7> Frame{};
    QLineEdit* Com_Port = nullptr;
    QPushButton* ComSelectSW = nullptr;
    QListWidget* Com_PortList = nullptr;
    QLineEdit* Tx_Count = nullptr;
    QLineEdit* FSK_OK = nullptr;
    QLineEdit* FSK_Err = nullptr;
    QLineEdit* FSKData = nullptr;
    RssiGraph* Picture1 = nullptr;
    QLineEdit* RxData = nullptr;
    QPlainTextEdit* RxText = nullptr;
    QLabel* LogFileHedder = nullptr;
    QLabel* MapFileHedder = nullptr;
    QLineEdit* KeikaTime = nullptr;
    QLabel* Message = nullptr;
    const QLabel* ComMessage = nullptr;
    const QLabel* TestMode = nullptr;
    const QLineEdit* FSKTxTime = nullptr;
    std::array<QLineEdit*, 6> LoRaTxTime{};
    const QLineEdit* Tx_CnEnd = nullptr;
    const QCheckBox* LogFile_Flg = nullptr;
    const QLineEdit* LogFileName = nullptr;
    const QLineEdit* MapFileName = nullptr;
    const QCheckBox* GPS_On = nullptr;
    SerialPort* MSComm1 = nullptr;
    Timer* InitialTimer = nullptr;
    Timer* Tx_Timer = nullptr;
    Timer* Timer1 = nullptr;
    Clock* clock = nullptr;
    QString appDir;
    int& RunKind;
    int& RunState;
    int& InitStep;
    double& TxPeriod;
    double& MinTxPeriod;
    int& ResultPending;
    std::array<QString, 10>& RxRssiHistory;
    std::array<QString, 10>& AckRssiHistory;
    const int& SpreadingIndex;
    const int& FSKMinTxTime;
    const std::array<int, 6>& LoRaMinTxTime;
    const qint32& SendTime;
    const std::uint32_t& GraphBackColor;
};
class LogWriters;
class RadioChannel;
class TestCycle;

class RunControl : public QObject {
    Q_OBJECT
public:
    RunControl(const RunView& view, QObject* parent, LogWriters& logs, RadioChannel& radio, TestCycle& cycle);
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
    // The stop has completed: the port choices the run locked are free
    // again (the GPS channel frees its own unless GPS is in use).
    void portsFreed();

private:
    enum class Phase { Idle, Initialising, Running };

    void setFramesEnabled(bool enabled);
    void completeStop();
    void endRun(records::EndCause cause);
    records::RunStart startRecord(const QDateTime& now, bool fsk, int spreading) const;

    RunView f;
    LogWriters& logs;
    RadioChannel& radio;
    TestCycle& cycle;
    Phase phase_ = Phase::Idle;
    std::uint64_t runId_ = 0;
};
