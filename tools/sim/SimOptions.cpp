#include "SimOptions.h"

#include <QCommandLineParser>

namespace {

bool toInt(const QString& text, int lo, int hi, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

} // namespace

QString parseSimOptions(const QStringList& arguments, SimOptions& out, int& exitCode) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Simulated QVX-760 radio module in FSK/LoRa command mode, with the far loopback unit.\n"
        "Serves a pseudo-terminal and prints its path as the first line of output; open that\n"
        "path as the radio port. Answers @FV @MO @SF @RA @RS and the data command @DT05.\n"
        "Lists are comma-separated and repeat (\"-70,-80\" gives -70,-80,-70,...).\n"
        "SIGTERM or SIGINT ends it cleanly."));
    p.addHelpOption();
    const QCommandLineOption mode({QStringLiteral("mode")}, QStringLiteral("Command mode: fsk (*MO=01) or lora (*MO=03). Default fsk."), QStringLiteral("fsk|lora"), QStringLiteral("fsk"));
    const QCommandLineOption sf({QStringLiteral("sf")}, QStringLiteral("Spreading index 0..5 answered as *SF=0N. Default 0."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption sfRaw({QStringLiteral("sf-raw")}, QStringLiteral("Answer *SF= followed by these two characters instead."), QStringLiteral("XX"));
    const QCommandLineOption noMode({QStringLiteral("no-mode-answer")}, QStringLiteral("Do not answer @MO."));
    const QCommandLineOption firmware({QStringLiteral("firmware")}, QStringLiteral("@FV answer form: fv (*FV=...), version (Version=...), both, or none (no answer). Default fv."), QStringLiteral("fv|version|both|none"), QStringLiteral("fv"));
    const QCommandLineOption closeAfter({QStringLiteral("close-after")}, QStringLiteral("Close the port after the N-th data command, unanswered (an unplugged cable), and exit."), QStringLiteral("N"));
    const QCommandLineOption delay({QStringLiteral("delay")}, QStringLiteral("Delay of command answers in ms. Default 20."), QStringLiteral("MS"), QStringLiteral("20"));
    const QCommandLineOption loopDelay({QStringLiteral("loop-delay")}, QStringLiteral("Delay of data answers in ms. Default 60 in FSK; in LoRa by spreading index 0..5: 400,700,1300,2500,4800,9500."), QStringLiteral("MS"));
    const QCommandLineOption jitter({QStringLiteral("jitter")}, QStringLiteral("Data answers vary by up to +-MS."), QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption loss({QStringLiteral("loss")}, QStringLiteral("Probability 0..1 that a data packet is lost (not answered)."), QStringLiteral("P"), QStringLiteral("0"));
    const QCommandLineOption seed({QStringLiteral("seed")}, QStringLiteral("Seed of the random numbers (loss, jitter, garbage, wander). Default: random."), QStringLiteral("N"));
    const QCommandLineOption lossPattern({QStringLiteral("loss-pattern")}, QStringLiteral("Repeating pattern, one character per data command: x lost, any other answered (\"..x\")."), QStringLiteral("PATTERN"));
    const QCommandLineOption rxRssi({QStringLiteral("rx-rssi")}, QStringLiteral("Far-end signal strength in dBm carried in data answers (two raw bytes), one per data command. Default -75. Or wander[:centre[:span]]: a bounded random walk."), QStringLiteral("LIST"));
    const QCommandLineOption ackRssi({QStringLiteral("ack-rssi")}, QStringLiteral("@RS answers in dBm, one per answered packet. Default -78."), QStringLiteral("LIST"));
    const QCommandLineOption noise({QStringLiteral("noise")}, QStringLiteral("@RA floor noise in dBm, one per request. Default -112."), QStringLiteral("LIST"));
    const QCommandLineOption wander({QStringLiteral("wander")}, QStringLiteral("Far-end and @RS strengths take a bounded random walk around -85 dBm (overrides --rx-rssi, --ack-rssi)."));
    const QCommandLineOption rssiForm({QStringLiteral("rssi-form")}, QStringLiteral("@RS answer form: rs (*RS=-75dBm) or rssi (RSSI=-75dBm). Default rs."), QStringLiteral("rs|rssi"), QStringLiteral("rs"));
    const QCommandLineOption chunk({QStringLiteral("chunk")}, QStringLiteral("Write answers in pieces of N bytes, a few ms apart."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption garbage({QStringLiteral("garbage")}, QStringLiteral("Send N random bytes before each answer."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption flood_({QStringLiteral("flood")}, QStringLiteral("Send this many random bytes at start."), QStringLiteral("BYTES"), QStringLiteral("0"));
    const QCommandLineOption swap({QStringLiteral("swap")}, QStringLiteral("Answer data packets in pairs, packet k after packet k+1 (late and out of order)."));
    const QCommandLineOption trace({QStringLiteral("trace")}, QStringLiteral("Append one line per received command: <ms>\\t<command>\\t<applied delay ms> (-1: no answer); ms of the monotonic clock."), QStringLiteral("FILE"));
    const QCommandLineOption link({QStringLiteral("link")}, QStringLiteral("Create a symbolic link to the pseudo-terminal at PATH (removed at exit)."), QStringLiteral("PATH"));
    p.addOptions({mode, sf, sfRaw, noMode, firmware, closeAfter, delay, loopDelay, jitter, loss, seed, lossPattern,
                  rxRssi, ackRssi, noise, wander, rssiForm, chunk, garbage, flood_, swap, trace, link});

    exitCode = 2;
    if (!p.parse(arguments))
        return p.errorText() + QLatin1Char('\n');
    if (p.isSet(QStringLiteral("help"))) {
        exitCode = 0;
        return p.helpText();
    }
    if (!p.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument: %1\n").arg(p.positionalArguments().first());

    SimOptions o;
    SimConfig& c = o.config;
    auto bad = [](const QCommandLineOption& opt, const QString& value) {
        return QStringLiteral("invalid value for --%1: %2\n").arg(opt.names().first(), value);
    };
    const QString m = p.value(mode);
    if (m == QLatin1String("fsk"))
        c.modulation = SimConfig::Modulation::Fsk;
    else if (m == QLatin1String("lora"))
        c.modulation = SimConfig::Modulation::Lora;
    else
        return bad(mode, m);
    if (!toInt(p.value(sf), 0, 5, c.spreadingIndex))
        return bad(sf, p.value(sf));
    if (p.isSet(sfRaw)) {
        c.sfAnswer = p.value(sfRaw).toLatin1();
        if (c.sfAnswer.size() != 2)
            return bad(sfRaw, p.value(sfRaw));
    }
    c.modeAnswer = !p.isSet(noMode);
    const QString fw = p.value(firmware);
    if (fw == QLatin1String("fv"))
        c.firmware = SimConfig::Firmware::Fv;
    else if (fw == QLatin1String("version"))
        c.firmware = SimConfig::Firmware::Version;
    else if (fw == QLatin1String("both"))
        c.firmware = SimConfig::Firmware::Both;
    else if (fw == QLatin1String("none"))
        c.firmware = SimConfig::Firmware::None;
    else
        return bad(firmware, fw);
    constexpr int kMax = 100'000'000;
    int flood = 0;
    const std::pair<const QCommandLineOption*, int*> ints[] = {
        {&delay, &c.commandDelayMs}, {&jitter, &c.jitterMs}, {&chunk, &c.chunkSize},
        {&garbage, &c.garbageBefore}, {&flood_, &flood}};
    for (const auto& [opt, target] : ints)
        if (p.isSet(*opt) && !toInt(p.value(*opt), 0, kMax, *target))
            return bad(*opt, p.value(*opt));
    o.floodBytes = flood;
    if (p.isSet(closeAfter) && !toInt(p.value(closeAfter), 1, kMax, c.unplugAfter))
        return bad(closeAfter, p.value(closeAfter));
    if (p.isSet(loopDelay) && !toInt(p.value(loopDelay), 0, kMax, c.loopDelayMs))
        return bad(loopDelay, p.value(loopDelay));
    bool ok = false;
    c.lossProbability = p.value(loss).toDouble(&ok);
    if (!ok || c.lossProbability < 0.0 || c.lossProbability > 1.0)
        return bad(loss, p.value(loss));
    if (p.isSet(seed)) {
        c.seed = p.value(seed).toUInt(&ok);
        if (!ok)
            return bad(seed, p.value(seed));
        o.seeded = true;
    }
    if (p.isSet(lossPattern)) {
        c.lossPattern = p.value(lossPattern).toLatin1();
        if (c.lossPattern.isEmpty())
            return bad(lossPattern, QString());
    }
    const std::pair<const QCommandLineOption*, RssiSpec*> lists[] = {
        {&rxRssi, &c.farRssi}, {&ackRssi, &c.ackRssi}, {&noise, &c.noiseRssi}};
    for (const auto& [opt, target] : lists) {
        QString error;
        if (p.isSet(*opt) && !RssiSpec::parse(p.value(*opt), target == &c.noiseRssi ? -112 : -85, target, &error))
            return bad(*opt, p.value(*opt));
    }
    if (p.isSet(wander)) {
        c.farRssi = RssiSpec::wander(-85);
        c.ackRssi = RssiSpec::wander(-85);
    }
    const QString rf = p.value(rssiForm);
    if (rf == QLatin1String("rs"))
        c.rsForm = SimConfig::RsForm::Star;
    else if (rf == QLatin1String("rssi"))
        c.rsForm = SimConfig::RsForm::Rssi;
    else
        return bad(rssiForm, rf);
    if (p.isSet(swap))
        c.swapEvery = 2;
    o.traceFile = p.value(trace);
    o.link = p.value(link);

    out = o;
    exitCode = 0;
    return QString();
}
