#include "analysis/RunRecorder.h"

#include "analysis/RunReport.h"
#include "common/WholeFile.h"
#include "export/RecordStream.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <cstdio>
#include <cstring>

namespace analysis {

namespace {

Instant steadyNow() {
    static QElapsedTimer steady;
    if (!steady.isValid())
        steady.start();
    return {QDateTime::currentDateTime(), steady.nsecsElapsed() / 1000};
}

QString pathFor(const QString& logDir, const QString& commLog, const QString& ext) {
    if (commLog.isEmpty())
        return {};
    QString base = commLog;
    if (base.endsWith(QLatin1String(".log"), Qt::CaseInsensitive))
        base.chop(4);
    return QFileInfo(base).isAbsolute() ? base + ext : QDir(logDir).filePath(base + ext);
}

// The run id of the last record in a stream file (every record carries
// its run's id), 0 when there is none: a new run in the same file
// continues the count, so run ids stay unique within the file.
std::uint64_t lastRunIdIn(const QString& path) {
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly))
        return 0;
    const qint64 tail = std::min<qint64>(f.size(), 64 * 1024);
    f.seek(f.size() - tail);
    const QList<QByteArray> lines = f.read(tail).split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QJsonValue id = QJsonDocument::fromJson(*it).object().value(QLatin1String("run"));
        if (id.isDouble() && id.toDouble() >= 0)
            return std::uint64_t(id.toDouble());
    }
    return 0;
}

void printTo(std::FILE* out, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), out);
    std::fflush(out);
}

}  // namespace

RunRecorder::RunRecorder(QString logDir, const AnalysisSettings& settings, QObject* parent)
    : QObject(parent),
      logDir_(std::move(logDir)),
      settings_(settings),
      clock_(steadyNow),
      stats_(settings.rollingWindow),
      deadLink_(settings.alarmLosses),
      gpsFix_(settings.gpsAlarm) {}

QString RunRecorder::streamPathFor(const QString& logDir, const QString& commLog) {
    return pathFor(logDir, commLog, QStringLiteral(".jsonl"));
}

QString RunRecorder::summaryPathFor(const QString& logDir, const QString& commLog) {
    return pathFor(logDir, commLog, QStringLiteral(".summary.txt"));
}

QString RunRecorder::mapPicturePathFor(const QString& logDir, const QString& commLog) {
    return pathFor(logDir, commLog, QStringLiteral(".map.png"));
}

bool RunRecorder::alarmActive(AlarmKind kind) const {
    return kind == AlarmKind::DeadLink ? deadLink_.active() : gpsFix_.active();
}

void RunRecorder::onRunStart(const records::RunStart& r) {
    if (running_)  // a run that never ended: its report is lost, not merged
        std::fprintf(stderr, "qvx-loopback: run %llu started before run %llu ended\n",
                     static_cast<unsigned long long>(r.runId), static_cast<unsigned long long>(start_.runId));
    running_ = true;
    start_ = r;
    markers_.clear();
    lastPacket_ = 0;
    failedPaths_.clear();
    stats_.reset();
    levels_.clear();
    streamPath_ = writesFiles_ ? streamPathFor(logDir_, r.commLog) : QString();
    summaryPath_ = writesFiles_ ? summaryPathFor(logDir_, r.commLog) : QString();
    streamRunId_ = std::max(r.runId, lastRunIdIn(streamPath_) + 1);
    alarm(AlarmKind::DeadLink, deadLink_.runStarted());
    alarm(AlarmKind::GpsFix, gpsFix_.runStarted(now().us));
    emit runStarted(r);
    write(recordstream::runLine(inStream(r)));
    emit figuresChanged();
}

void RunRecorder::onExchange(const records::Exchange& e) {
    if (!running_ || e.runId != start_.runId)
        return;
    lastPacket_ = std::max(lastPacket_, e.packet);
    stats_.add(e);
    levels_.add(e);
    const AlarmChange change = deadLink_.add(e);
    if (writing())  // encoded only when it goes somewhere
        write(recordstream::exchangeLine(inStream(e)));
    emit exchangeAdded(e);
    emit figuresChanged();
    alarm(AlarmKind::DeadLink, change);
}

void RunRecorder::onLateAnswer(const records::LateAnswer& l) {
    if (!running_ || l.runId != start_.runId)
        return;
    stats_.add(l);
    if (writing())
        write(recordstream::lateLine(inStream(l)));
    emit lateAnswerAdded(l);
    emit figuresChanged();
}

void RunRecorder::onMarker(const records::Marker& m) {
    if (!running_ || m.runId != start_.runId)
        return;
    markers_.append(m);
    if (writing())
        write(recordstream::markerLine(inStream(m)));
    emit markerAdded(m);
}

void RunRecorder::dropMarker(const QString& note) {
    if (!running_)
        return;
    const Instant t = now();
    records::Marker m;
    m.runId = start_.runId;
    m.number = markers_.isEmpty() ? 1 : markers_.constLast().number + 1;
    m.note = note.simplified().left(kMaxNoteLength);
    m.time = t.local;
    m.atUs = t.us;
    m.afterPacket = lastPacket_;
    if (place_)
        std::tie(m.gps, m.position) = place_(t.us);
    onMarker(m);
}

void RunRecorder::onRunEnd(const records::RunEnd& r) {
    if (!running_ || r.runId != start_.runId)
        return;
    // A stopped run watches nothing: both alarms go (the figures keep the
    // outage), recorded before the run's end.
    alarm(AlarmKind::DeadLink, deadLink_.runStarted());
    alarm(AlarmKind::GpsFix, gpsFix_.runEnded());
    running_ = false;
    const Figures f = stats_.figures();
    write(recordstream::endLine(inStream(r), f));
    const QString report = runReport(start_, r, f, markers_, &levels_);
    if (!summaryPath_.isEmpty())
        writeSummary(report);
    if (printSummary_)
        printTo(toStdout_ || stdoutStopped_ ? stderr : stdout, report);
    emit runEnded(r);
}

void RunRecorder::setSettings(const AnalysisSettings& s) {
    if (s == settings_)
        return;
    const bool rollingChanged = s.rollingWindow != settings_.rollingWindow;
    settings_ = s;
    if (rollingChanged)
        stats_.setRollingWindow(s.rollingWindow);
    alarm(AlarmKind::DeadLink, deadLink_.setLosses(s.alarmLosses));
    alarm(AlarmKind::GpsFix, gpsFix_.setEnabled(s.gpsAlarm, now().us));
    emit settingsChanged(settings_);
    emit figuresChanged();
}

void RunRecorder::setGpsInUse(bool inUse) { alarm(AlarmKind::GpsFix, gpsFix_.setGpsInUse(inUse, now().us)); }

void RunRecorder::positionTaken() { alarm(AlarmKind::GpsFix, gpsFix_.positionTaken(now().us)); }

void RunRecorder::gpsTick() { alarm(AlarmKind::GpsFix, gpsFix_.tick(now().us)); }

void RunRecorder::alarm(AlarmKind kind, AlarmChange change) {
    // The GPS alarm goes into the run's stream: a stretch without positions
    // is named there, not only shown.
    if (kind == AlarmKind::GpsFix && change != AlarmChange::None && running_) {
        const Instant t = now();
        write(recordstream::alarmLine(start_.runId, QStringLiteral("gps_fix"), change == AlarmChange::Raised, t.local,
                                      t.us));
    }
    if (change == AlarmChange::Raised)
        emit alarmRaised(kind);
    else if (change == AlarmChange::Cleared)
        emit alarmCleared(kind);
}

void RunRecorder::write(const QByteArray& line) {
    if (!streamPath_.isEmpty())
        writeTo(streamPath_, line);
    if (toStdout_ && !stdoutStopped_)
        writeTo(QStringLiteral("-"), line);
}

void RunRecorder::writeTo(const QString& path, const QByteArray& line) {
    recordstream::RecordStreamWriter w(path);
    if (w.append(line)) {
        written(path);
        return;
    }
    if (path != QLatin1String("-")) {
        fail(path, w.error());
        return;
    }
    // Standard output closed (the reader of a pipe went away): the stream
    // there stops for good, told once; the run and its files go on.
    // The system's own reason (a pipe whose reader went: "Broken pipe").
    const QString reason = errno ? QString::fromLocal8Bit(std::strerror(errno)) : w.error();
    stdoutStopped_ = true;
    printTo(stderr, QStringLiteral("qvx-loopback: standard output cannot be written (%1): the record stream there "
                                   "stops; the run goes on\n").arg(reason));
    emit writeFailed(path, reason);
}

// Each run's report is appended to the reports of the earlier runs under
// the same log name, a blank line between two.
void RunRecorder::writeSummary(const QString& text) {
    // The whole report lands after the earlier ones or, failing that, the
    // file stays as it was.
    QString error;
    const QByteArray bytes = (QFileInfo(summaryPath_).size() > 0 ? QByteArray("\n") : QByteArray()) + text.toUtf8();
    if (wholefile::append(summaryPath_, bytes, &error))
        written(summaryPath_);
    else
        fail(summaryPath_, error);
}

void RunRecorder::written(const QString& path) {
    const auto it = failing_.find(path);
    if (it == failing_.end())
        return;
    printTo(stderr, QStringLiteral("qvx-loopback: %1 written again; lines lost: %2\n").arg(path).arg(*it));
    failing_.erase(it);
    emit writtenAgain(path);
}

void RunRecorder::fail(const QString& path, const QString& reason) {
    if (path != QLatin1String("-")) {
        ++failing_[path];
        ++linesLost_[path];
    }
    if (!failedPaths_.contains(path)) {
        failedPaths_.insert(path);
        printTo(stderr, QStringLiteral("qvx-loopback: cannot write %1: %2\n").arg(path, reason));
    }
    emit writeFailed(path, reason);
}

}  // namespace analysis
