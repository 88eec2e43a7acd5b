#include "SimOptions.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

bool toInt(const QString& text, int min, int max, int* out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

bool toProbability(const QString& text, double* out) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || v < 0.0 || v > 1.0)
        return false;
    *out = v;
    return true;
}

// Numbers separated by ':' (or ',' for a place), each finite; fewer than
// `count` are allowed down to `least`.
bool toNumbers(const QString& text, QChar sep, int least, int count, QList<double>* out) {
    const QStringList parts = text.split(sep);
    if (parts.size() < least || parts.size() > count)
        return false;
    out->clear();
    for (const QString& part : parts) {
        bool ok = false;
        const double v = part.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return false;
        out->append(v);
    }
    return true;
}

struct LawOptions {
    const QCommandLineOption &trace, &farEnd, &pathLoss, &answerOffset, &shadowing, &fading, &midpoint, &slope;
};

bool parseLaw(const QCommandLineParser& p, const LawOptions& o, SimOptions* out, QString* error) {
    LinkLaw& law = out->config.law;
    const auto bad = [&](const QCommandLineOption& opt) {
        *error = QStringLiteral("bad value for --%1: %2").arg(opt.names().last(), p.value(opt));
        return false;
    };
    QList<double> v;
    if (p.isSet(o.pathLoss)) {
        if (!toNumbers(p.value(o.pathLoss), QLatin1Char(':'), 1, 3, &v) || (v.size() > 1 && v[1] < 0) ||
            (v.size() > 2 && v[2] <= 0))
            return bad(o.pathLoss);
        law.levelDbm = v[0];
        if (v.size() > 1)
            law.exponent = v[1];
        if (v.size() > 2)
            law.referenceM = v[2];
    }
    if (p.isSet(o.answerOffset)) {
        if (!toNumbers(p.value(o.answerOffset), QLatin1Char(':'), 1, 1, &v))
            return bad(o.answerOffset);
        law.answerOffsetDb = v[0];
    }
    if (p.isSet(o.shadowing)) {
        if (!toNumbers(p.value(o.shadowing), QLatin1Char(':'), 1, 2, &v) || v[0] < 0 || (v.size() > 1 && v[1] < 0))
            return bad(o.shadowing);
        law.shadowingDb = v[0];
        if (v.size() > 1)
            law.shadowingDistanceM = v[1];
    }
    if (p.isSet(o.fading)) {
        if (!toNumbers(p.value(o.fading), QLatin1Char(':'), 1, 1, &v) || v[0] < 0)
            return bad(o.fading);
        law.fadingDb = v[0];
    }
    if (p.isSet(o.midpoint)) {
        if (!toNumbers(p.value(o.midpoint), QLatin1Char(':'), 1, 1, &v))
            return bad(o.midpoint);
        law.midpointDbm = v[0];
    }
    if (p.isSet(o.slope)) {
        if (!toNumbers(p.value(o.slope), QLatin1Char(':'), 1, 1, &v) || v[0] < 0)
            return bad(o.slope);
        law.slopeDb = v[0];
    }
    if (p.isSet(o.farEnd)) {
        if (!toNumbers(p.value(o.farEnd), QLatin1Char(','), 2, 2, &v) || std::fabs(v[0]) > 90 || std::fabs(v[1]) > 180)
            return bad(o.farEnd);
        out->haveFarEnd = true;
        out->farEndLat = v[0];
        out->farEndLon = v[1];
    }
    out->distanceTracePath = p.value(o.trace);
    law.enabled = p.isSet(o.trace);
    if (law.enabled && out->distanceTracePath.isEmpty())
        return bad(o.trace);
    if (!law.enabled) {
        for (const QCommandLineOption* opt : {&o.farEnd, &o.pathLoss, &o.answerOffset, &o.shadowing, &o.fading,
                                              &o.midpoint, &o.slope}) {
            if (p.isSet(*opt)) {
                *error = QStringLiteral("--%1 needs --distance-trace").arg(opt->names().last());
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool parseSimOptions(const QStringList& args, SimOptions* out, QString* error) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated QVX-760 radio module in command mode plus the far loopback unit, served on a\n"
        "pseudo-terminal. The first line of standard output is the path of the terminal to open\n"
        "(19200 8N1). Commands end in CR LF; answers: @FV, @MO, @SF, @RA (floor noise), @RS (answer\n"
        "RSSI) and @DTnn+payload, looped back as \"*DR=nn\", the payload less its last two bytes,\n"
        "the far-end RSSI as signed 16-bit big-endian, CR LF. RSSI values are VALUES: a value (-75),\n"
        "a repeating list (-75,-80,-91), or a random walk: wander[:CENTRE[:SPAN]].\n"
        "With --distance-trace the link follows the distance d to the loopback unit instead: far-end RSSI\n"
        "= A - 10 n log10(d / d0) + shadowing + fading, the answer RSSI the same plus --answer-offset;\n"
        "each leg (out and back) is lost with probability 1 / (1 + exp((RSSI - midpoint) / slope));\n"
        "--loss and --loss-pattern still lose packets on top."));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption mode(QStringLiteral("mode"), QStringLiteral("Modulation: fsk or lora (default fsk)."),
                                  QStringLiteral("fsk|lora"), QStringLiteral("fsk"));
    const QCommandLineOption sf(QStringLiteral("sf"), QStringLiteral("LoRa spreading index 0..5, 128..4096 chips (default 0)."),
                                QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption sfAnswer(QStringLiteral("sf-answer"),
                                      QStringLiteral("Two characters answered after \"*SF=\" instead of the index."),
                                      QStringLiteral("XX"));
    const QCommandLineOption firmware(QStringLiteral("firmware"),
                                      QStringLiteral("@FV answer: fv (\"*FV=2.10\"), version (\"Version=1.10\"), both, "
                                                     "or none (default fv)."),
                                      QStringLiteral("FORM"), QStringLiteral("fv"));
    const QCommandLineOption noMode(QStringLiteral("no-mode-answer"), QStringLiteral("Leave @MO unanswered."));
    const QCommandLineOption rsForm(QStringLiteral("rs-form"),
                                    QStringLiteral("@RS answer form: rs (\"*RS=-78dBm\") or rssi (\"RSSI=-78dBm\")."),
                                    QStringLiteral("rs|rssi"), QStringLiteral("rs"));
    const QCommandLineOption cmdDelay(QStringLiteral("command-delay"),
                                      QStringLiteral("Delay of the local answers in ms (default 20)."), QStringLiteral("MS"));
    const QCommandLineOption loopDelay(QStringLiteral("loop-delay"),
                                       QStringLiteral("Delay of the looped-back answer in ms (default FSK 60; LoRa 400, "
                                                      "700, 1300, 2500, 4800, 9500 by index)."),
                                       QStringLiteral("MS"));
    const QCommandLineOption jitter(QStringLiteral("jitter"),
                                    QStringLiteral("Each loop-back delay varies by up to +-MS (never below 0)."),
                                    QStringLiteral("MS"));
    const QCommandLineOption loss(QStringLiteral("loss"), QStringLiteral("Probability 0..1 that a packet is lost."),
                                  QStringLiteral("P"));
    const QCommandLineOption lossPattern(QStringLiteral("loss-pattern"),
                                         QStringLiteral("Repeating per-packet pattern, x = lost, e.g. ..x..x"),
                                         QStringLiteral("PATTERN"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Random seed for loss, jitter, wander, garbage and the link law (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption farRssi(QStringLiteral("far-rssi"),
                                     QStringLiteral("RSSI at the loopback unit, carried in the packet (default -75)."),
                                     QStringLiteral("VALUES"));
    const QCommandLineOption ackRssi(QStringLiteral("ack-rssi"),
                                     QStringLiteral("RSSI of the answer at the local module, for @RS (default -78)."),
                                     QStringLiteral("VALUES"));
    const QCommandLineOption noise(QStringLiteral("noise"), QStringLiteral("Floor noise for @RA (default -112)."),
                                   QStringLiteral("VALUES"));
    const QCommandLineOption wander(QStringLiteral("wander"),
                                    QStringLiteral("A plausible link for demos: far and answer RSSI wander around -85, "
                                                   "noise around -112, 3 % of packets lost (the RSSI and loss options override it)."));
    const QCommandLineOption distanceTrace(
        QStringLiteral("distance-trace"),
        QStringLiteral("Follow the walker in FILE, a CSV file that may still be growing: qvx-nmea --truth's trace, "
                       "or any whose first line names mono_us (monotonic microseconds) and lat,lon or distance_m. "
                       "Turns on the link law below (the far and answer RSSI options are then refused)."),
        QStringLiteral("FILE"));
    const QCommandLineOption farEnd(QStringLiteral("far-end"),
                                    QStringLiteral("Where the loopback unit stands, decimal degrees (default: the "
                                                   "trace's first place, where the walk starts)."),
                                    QStringLiteral("LAT,LON"));
    const QCommandLineOption pathLoss(QStringLiteral("path-loss"),
                                      QStringLiteral("Far-end level A dBm at D0 m (default 1), falling 10 N dB a decade "
                                                     "of distance (default -22:3)."),
                                      QStringLiteral("A[:N[:D0]]"));
    const QCommandLineOption answerOffset(QStringLiteral("answer-offset"),
                                          QStringLiteral("Answer level less far-end level, dB (default -3)."),
                                          QStringLiteral("DB"));
    const QCommandLineOption shadowing(QStringLiteral("shadowing"),
                                       QStringLiteral("Slow shadowing, the same both ways: deviation SIGMA dB, "
                                                      "correlation exp(-walked / M) (default 4:25; M 0: a new value "
                                                      "every packet)."),
                                       QStringLiteral("SIGMA[:M]"));
    const QCommandLineOption fading(QStringLiteral("fading"),
                                    QStringLiteral("Fast fading, each packet and each way: deviation dB (default 1.5)."),
                                    QStringLiteral("SIGMA"));
    const QCommandLineOption lossMidpoint(QStringLiteral("loss-midpoint"),
                                          QStringLiteral("Level at which half of one leg's packets are lost (default "
                                                         "FSK -108; LoRa -123 at --sf 0, 2.5 dB lower each step)."),
                                          QStringLiteral("DBM"));
    const QCommandLineOption lossSlope(QStringLiteral("loss-slope"),
                                       QStringLiteral("Width of the loss curve, dB: 90 % to 10 % lost over 4.4 x this "
                                                      "(default 1; 0: a hard threshold)."),
                                       QStringLiteral("DB"));
    const QCommandLineOption chunk(QStringLiteral("chunk"), QStringLiteral("Write every answer in pieces of N bytes."),
                                   QStringLiteral("N"));
    const QCommandLineOption chunkGap(QStringLiteral("chunk-gap"), QStringLiteral("Time between pieces in ms (default 2)."),
                                      QStringLiteral("MS"));
    const QCommandLineOption garbageBefore(QStringLiteral("garbage-before"),
                                           QStringLiteral("N random bytes before each answer."), QStringLiteral("N"));
    const QCommandLineOption garbageAfter(QStringLiteral("garbage-after"),
                                          QStringLiteral("N random bytes after each answer."), QStringLiteral("N"));
    const QCommandLineOption garbageRate(QStringLiteral("garbage-rate"),
                                         QStringLiteral("Probability 0..1 that an answer gets its garbage (default 1)."),
                                         QStringLiteral("P"));
    const QCommandLineOption flood(QStringLiteral("flood"),
                                   QStringLiteral("Answer one data command with N random bytes (e.g. 1048576)."),
                                   QStringLiteral("N"));
    const QCommandLineOption floodAt(QStringLiteral("flood-at"),
                                     QStringLiteral("... the K-th data command (default 1)."), QStringLiteral("K"));
    const QCommandLineOption swap(QStringLiteral("swap-every"),
                                  QStringLiteral("Of every N data commands the first one's answer arrives after the "
                                                 "next one's (late, out of order)."),
                                  QStringLiteral("N"));
    const QCommandLineOption unplug({QStringLiteral("unplug-after"), QStringLiteral("close-after")},
                                    QStringLiteral("Close the port on receipt of the N-th data command (a pulled cable)."),
                                    QStringLiteral("N"));
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Make a symlink PATH to the terminal."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write one line per received command to FILE: t_ms<TAB>command<TAB>"
                                                  "applied_delay_ms<TAB>t_us (monotonic ms and us, same counters as "
                                                  "the program; delay -1: not answered), and one per write to the "
                                                  "terminal: t_ms<TAB>>bytes<TAB><TAB>t_us; flushed per line."),
                                   QStringLiteral("FILE"));
    p.addOptions({help, version, mode, sf, sfAnswer, firmware, noMode, rsForm, cmdDelay, loopDelay, jitter, loss, lossPattern,
                  seed, farRssi, ackRssi, noise, wander, distanceTrace, farEnd, pathLoss, answerOffset, shadowing,
                  fading, lossMidpoint, lossSlope, chunk, chunkGap, garbageBefore, garbageAfter, garbageRate,
                  flood, floodAt, swap, unplug, link, trace});
    out->helpText = p.helpText();
    if (!p.parse(args)) {
        *error = p.errorText();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first());
        return false;
    }
    out->help = p.isSet(help);
    out->version = p.isSet(version);
    SimConfig& c = out->config;
    const auto bad = [&](const QCommandLineOption& o) {
        *error = QStringLiteral("bad value for --%1: %2").arg(o.names().last(), p.value(o));
        return false;
    };
    const auto intOpt = [&](const QCommandLineOption& o, int min, int max, int* dest) {
        return !p.isSet(o) || toInt(p.value(o), min, max, dest);
    };

    const QString m = p.value(mode).toLower();
    if (m == QLatin1String("fsk"))
        c.modulation = SimConfig::Modulation::Fsk;
    else if (m == QLatin1String("lora"))
        c.modulation = SimConfig::Modulation::Lora;
    else
        return bad(mode);
    if (!intOpt(sf, 0, 5, &c.spreadingIndex))
        return bad(sf);
    if (p.isSet(sfAnswer)) {
        c.sfAnswer = p.value(sfAnswer).toLatin1();
        if (c.sfAnswer.size() != 2)
            return bad(sfAnswer);
    }
    const QString fw = p.value(firmware).toLower();
    if (fw == QLatin1String("fv"))
        c.firmware = SimConfig::Firmware::Fv;
    else if (fw == QLatin1String("version"))
        c.firmware = SimConfig::Firmware::Version;
    else if (fw == QLatin1String("both"))
        c.firmware = SimConfig::Firmware::Both;
    else if (fw == QLatin1String("none"))
        c.firmware = SimConfig::Firmware::None;
    else
        return bad(firmware);
    c.modeAnswer = !p.isSet(noMode);
    const QString rs = p.value(rsForm).toLower();
    if (rs == QLatin1String("rs"))
        c.rsForm = SimConfig::RsForm::Star;
    else if (rs == QLatin1String("rssi"))
        c.rsForm = SimConfig::RsForm::Rssi;
    else
        return bad(rsForm);
    constexpr int kMaxMs = 24 * 3600 * 1000;
    if (!intOpt(cmdDelay, 0, kMaxMs, &c.commandDelayMs))
        return bad(cmdDelay);
    if (!intOpt(loopDelay, 0, kMaxMs, &c.loopDelayMs))
        return bad(loopDelay);
    if (!intOpt(jitter, 0, kMaxMs, &c.jitterMs))
        return bad(jitter);
    if (p.isSet(wander)) {
        c.farRssi = RssiSpec::wander(-85);
        c.ackRssi = RssiSpec::wander(-85);
        c.noiseRssi = RssiSpec::wander(-112, 4);
        c.noiseRssi.step = 1;
        c.lossProbability = 0.03;
    }
    if (p.isSet(loss) && !toProbability(p.value(loss), &c.lossProbability))
        return bad(loss);
    if (p.isSet(lossPattern)) {
        c.lossPattern = p.value(lossPattern).toLatin1();
        if (c.lossPattern.isEmpty())
            return bad(lossPattern);
    }
    if (p.isSet(seed)) {
        bool ok = false;
        c.seed = p.value(seed).toUInt(&ok);
        if (!ok)
            return bad(seed);
    }
    struct RssiOpt {
        const QCommandLineOption& o;
        RssiSpec* dest;
        int centre;
    };
    for (const RssiOpt& r : {RssiOpt{farRssi, &c.farRssi, -85}, RssiOpt{ackRssi, &c.ackRssi, -85},
                             RssiOpt{noise, &c.noiseRssi, -112}}) {
        if (p.isSet(r.o) && !RssiSpec::parse(p.value(r.o), r.centre, r.dest, error))
            return false;
    }
    if (!parseLaw(p, {distanceTrace, farEnd, pathLoss, answerOffset, shadowing, fading, lossMidpoint, lossSlope},
                  out, error))
        return false;
    if (c.law.enabled && (p.isSet(farRssi) || p.isSet(ackRssi))) {
        *error = QStringLiteral("--distance-trace sets the far and answer RSSI: leave out --far-rssi and --ack-rssi");
        return false;
    }
    if (!intOpt(chunk, 1, 1 << 20, &c.chunkSize))
        return bad(chunk);
    if (!intOpt(chunkGap, 0, kMaxMs, &c.chunkGapMs))
        return bad(chunkGap);
    if (!intOpt(garbageBefore, 0, 1 << 20, &c.garbageBefore))
        return bad(garbageBefore);
    if (!intOpt(garbageAfter, 0, 1 << 20, &c.garbageAfter))
        return bad(garbageAfter);
    if (p.isSet(garbageRate) && !toProbability(p.value(garbageRate), &c.garbageRate))
        return bad(garbageRate);
    if (p.isSet(flood)) {
        bool ok = false;
        c.floodBytes = p.value(flood).toLongLong(&ok);
        if (!ok || c.floodBytes < 0 || c.floodBytes > (qint64(1) << 32))
            return bad(flood);
    }
    if (!intOpt(floodAt, 1, 1 << 30, &c.floodAt))
        return bad(floodAt);
    if (!intOpt(swap, 2, 1 << 30, &c.swapEvery))
        return bad(swap);
    if (!intOpt(unplug, 1, 1 << 30, &c.unplugAfter))
        return bad(unplug);
    out->linkPath = p.value(link);
    out->tracePath = p.value(trace);
    return true;
}
