#include "SimOptions.h"

#include <QCommandLineParser>

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

} // namespace

bool parseSimOptions(const QStringList& args, SimOptions* out, QString* error) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated QVX-760 radio module in command mode plus the far loopback unit, served on a\n"
        "pseudo-terminal. The first line of standard output is the path of the terminal to open\n"
        "(19200 8N1). Commands end in CR LF; answers: @FV, @MO, @SF, @RA (floor noise), @RS (answer\n"
        "RSSI) and @DTnn+payload, looped back as \"*DR=nn\", the payload less its last two bytes,\n"
        "the far-end RSSI as signed 16-bit big-endian, CR LF. RSSI values are VALUES: a value (-75),\n"
        "a repeating list (-75,-80,-91), or a random walk: wander[:CENTRE[:SPAN]]."));
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
                                  QStringLiteral("Random seed for loss, jitter, wander and garbage (default 1)."),
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
                  seed, farRssi, ackRssi, noise, wander, chunk, chunkGap, garbageBefore, garbageAfter, garbageRate,
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
