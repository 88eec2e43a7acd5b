// Any bytes from the radio module during a continuous FSK run: the radio
// port's receive handler takes them in pieces, then the test cycle's next
// step evaluates what arrived (counters, signal strengths, averages, graph,
// log lines) and sends the next packet.
//
// Input: the first byte sets the piece size (low five bits + 1) and the gap
// between pieces (high three bits x 20 ms); in the rest, every 0xFF byte
// stands for the whole answer the current packet expects (with a far-end
// RSSI of -75 and CR LF) and every 0xFE byte for its bare expected part, so
// the fuzzer reaches the success path as easily as the failure path. The simulated module
// answers the initialisation and the signal-strength commands and never
// loops a packet back itself.
#include "SimOnDevice.h"
#include "FuzzWindow.h"
#include "common/HexDump.h"
#include "platform/Timer.h"
#include "ports/RadioChannel.h"

#include <QDir>
#include <cstdlib>

namespace {
WindowHarness* harness = nullptr;
FakeDevice* device = nullptr;
SimOnDevice* sim = nullptr;
long inputs = 0;

void startRun() {
    Form1& f = harness->form();
    inside(f).TestStartSW[0]->click();
    harness->advance(1000);
    if (!inside(f).Tx_Timer->isEnabled())
        std::abort();
}

QByteArray expectedPart() {
    return QByteArray::fromHex(inside(harness->form()).ui.ChkData->text().toLatin1());
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    harness = startFuzzHarness(argc, argv);
    device = harness->ports.addDevice(QStringLiteral("COM3"));
    SimConfig cfg;
    cfg.lossProbability = 1.0;
    sim = new SimOnDevice(device, harness->clock, cfg);
    Form1& f = harness->start();
    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.LogFileName->setText(QStringLiteral("fuzz"));
    startRun();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Form1& f = harness->form();
    if (size == 0)
        return 0;
    const int piece = (data[0] & 0x1F) + 1;
    const int gapMs = (data[0] >> 5) * 20;
    QByteArray bytes;
    const QByteArray part = expectedPart();
    const QByteArray answer = part + QByteArray::fromHex("ffb5") + "\r\n";
    for (size_t i = 1; i < size; ++i)
        if (data[i] == 0xFF)
            bytes += answer;
        else if (data[i] == 0xFE)
            bytes += part;
        else
            bytes += char(data[i]);
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        device->send(bytes.mid(at, piece));
        if (gapMs)
            harness->advance(gapMs);
    }
    harness->advance(300);
    device->clearWrites();
    QCoreApplication::processEvents();

    if (inside(f).ui.RxData->text().size() > RadioChannel::kRxDataKeep)
        std::abort();
    if (inside(f).radio->responseTimeHistory().size() > RadioChannel::kTimeHistoryKeep)
        std::abort();
    if (!inside(f).Tx_Timer->isEnabled())
        std::abort();   // nothing the module sends may stop a continuous run
    // The log files grow with every input; start them afresh now and then.
    if (++inputs % 5000 == 0)
        for (const QString& name : QDir(harness->dir()).entryList({QStringLiteral("*.log"), QStringLiteral("*.csv")}))
            QFile::remove(harness->path(name));
    return 0;
}
