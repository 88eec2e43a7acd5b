#pragma once
// One run's analysis, fed the run's records: the statistics, the two
// alarms, the record stream (<communication log>.jsonl beside the log when
// the run start names a log, and optionally standard output) and the run
// report (<communication log>.summary.txt at the end, appended to the
// reports of earlier runs of the same log name). Run ids are unique within
// a stream file: a run appended to a file continues the count of the runs
// already in it. No widgets: the
// analysis window and the alarm effects listen to its signals.
//
// Records outside a run (before its RunStart, after its RunEnd, or of
// another run id) are ignored. A file that cannot be written is reported
// (writeFailed and a line on standard error, the first failure of each file
// in a run) and the run goes on; later lines are still tried, each whole
// (a line lands whole or not at all), and a file that takes its writes
// again says so (writtenAgain, and standard error with the lines lost).
#include "analysis/AnalysisSettings.h"
#include "analysis/LinkAlarms.h"
#include "stats/LinkStatistics.h"
#include "stats/Sensitivity.h"
#include "records/Exchange.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace analysis {

enum class AlarmKind { DeadLink, GpsFix };

// A moment on the run's clocks: local date-time and the monotonic
// microsecond count the records' *Us fields use.
struct Instant {
    QDateTime local;
    std::int64_t us = 0;
};

class RunRecorder : public QObject {
    Q_OBJECT
public:
    using ClockFn = std::function<Instant()>;

    // logDir: the folder of the logs (a relative log name is joined to it).
    explicit RunRecorder(QString logDir, const AnalysisSettings& settings = {}, QObject* parent = nullptr);

    // The clock markers, the GPS alarm and "time since the last answer" read;
    // it must count on the same origin as the records' instants. The default
    // is the local time and a steady clock.
    void setClock(ClockFn clock) { clock_ = std::move(clock); }
    // Where the GPS put an instant of the clock above (a marker's place);
    // without one, markers carry no position.
    using PlaceFn = std::function<std::pair<records::GpsState, std::optional<records::Position>>(std::int64_t us)>;
    void setPlace(PlaceFn place) { place_ = std::move(place); }
    Instant now() const { return clock_(); }

    // Off: the recorder writes no file at all (no record stream, no run
    // report), whatever the run start names: a viewer of recorded runs
    // feeds it the records read from those very files. On by default.
    void setWritesFiles(bool on) { writesFiles_ = on; }
    // The folder relative log names are taken from (the next run's).
    void setLogDir(const QString& dir) { logDir_ = dir; }
    // Records of every run also go to standard output (one JSON line each).
    void setStreamToStdout(bool on) { toStdout_ = on; }
    // The run report is also printed at the end of each run: on standard
    // output, or on standard error while the records stream to standard
    // output (so the stream stays one JSON object a line).
    void setPrintSummary(bool on) { printSummary_ = on; }

    const AnalysisSettings& settings() const { return settings_; }
    bool running() const { return running_; }
    const records::RunStart& runStart() const { return start_; }
    const LinkStatistics& statistics() const { return stats_; }
    Figures figures() const { return stats_.figures(); }
    // The levels of the run's exchanges (its sensitivity and reach).
    const LevelSeries& levels() const { return levels_; }
    const QList<records::Marker>& markers() const { return markers_; }
    std::int64_t lastPacket() const { return lastPacket_; }
    bool alarmActive(AlarmKind kind) const;
    int consecutiveLosses() const { return deadLink_.consecutiveLosses(); }
    // Empty when the run writes no files.
    const QString& streamPath() const { return streamPath_; }
    const QString& summaryPath() const { return summaryPath_; }
    // "<dir>/<name>.jsonl" and "<dir>/<name>.summary.txt" for a communication
    // log name ("240501_FSK_demo.log" gives 240501_FSK_demo.jsonl); empty
    // for an empty name.
    static QString streamPathFor(const QString& logDir, const QString& commLog);
    static QString summaryPathFor(const QString& logDir, const QString& commLog);
    // "<dir>/<name>.map.png": the run's coverage map picture beside its logs
    // (CoverageMap::savePicture); empty when the run writes no files.
    // Lines (records, run reports) that never reached their file, per path,
    // since the recorder was made; empty when every one landed. Standard
    // output is not a file and not counted.
    const QMap<QString, int>& linesLost() const { return linesLost_; }
    bool everyLineWritten() const { return linesLost_.isEmpty(); }
    static QString mapPicturePathFor(const QString& logDir, const QString& commLog);
    QString mapPicturePath() const { return mapPicturePathFor(logDir_, start_.commLog); }

public slots:
    void onRunStart(const records::RunStart& r);
    void onExchange(const records::Exchange& e);
    void onLateAnswer(const records::LateAnswer& l);
    void onMarker(const records::Marker& m);
    void onRunEnd(const records::RunEnd& r);

    // A marker now, numbered next, after the last packet sent; ignored
    // outside a run. The note is cut to kMaxNoteLength characters.
    void dropMarker(const QString& note);

    // The settings take effect at once: a new rolling window size restarts
    // the rolling rate; a new K may raise or clear the dead-link alarm.
    void setSettings(const AnalysisSettings& s);

    // The GPS side of the fix alarm, on the recorder's clock.
    void setGpsInUse(bool inUse);
    void positionTaken();
    void gpsTick();

signals:
    void runStarted(const records::RunStart& r);
    void exchangeAdded(const records::Exchange& e);
    void lateAnswerAdded(const records::LateAnswer& l);
    // After every exchange, late answer, settings change and run start.
    void figuresChanged();
    void markerAdded(const records::Marker& m);
    void runEnded(const records::RunEnd& r);
    void alarmRaised(analysis::AlarmKind kind);
    void alarmCleared(analysis::AlarmKind kind);
    void settingsChanged(const analysis::AnalysisSettings& s);
    void writeFailed(const QString& path, const QString& reason);
    void writtenAgain(const QString& path);   // after writeFailed, the next line that landed

public:
    static constexpr int kMaxNoteLength = 200;

private:
    bool writing() const { return !streamPath_.isEmpty() || (toStdout_ && !stdoutStopped_); }
    void write(const QByteArray& line);
    void writeTo(const QString& path, const QByteArray& line);
    void writeSummary(const QString& text);
    void fail(const QString& path, const QString& reason);
    void written(const QString& path);
    void alarm(AlarmKind kind, AlarmChange change);
    // A record as the stream file holds it: under the file's run id.
    template <typename R>
    R inStream(R r) const {
        r.runId = streamRunId_;
        return r;
    }

    QString logDir_;
    AnalysisSettings settings_;
    ClockFn clock_;
    PlaceFn place_;
    bool writesFiles_ = true;
    bool toStdout_ = false;
    bool printSummary_ = false;
    bool stdoutStopped_ = false;  // standard output failed: no more records there

    LinkStatistics stats_;
    LevelSeries levels_;
    DeadLinkAlarm deadLink_;
    GpsFixAlarm gpsFix_;
    bool running_ = false;
    records::RunStart start_;
    QList<records::Marker> markers_;
    std::int64_t lastPacket_ = 0;
    QString streamPath_;
    QString summaryPath_;
    std::uint64_t streamRunId_ = 0;  // the run's id in its stream file
    QSet<QString> failedPaths_;  // reported on standard error in this run
    QMap<QString, int> failing_;    // path -> lines lost since it failed
    QMap<QString, int> linesLost_;  // path -> lines lost since start
};

}  // namespace analysis
