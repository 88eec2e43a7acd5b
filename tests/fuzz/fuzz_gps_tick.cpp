// Any bytes from the GPS receiver: they arrive on the GPS port in pieces and
// the GPS timer ticks between them, taking $GPGGA sentences from the buffer,
// showing the position and the distance from a datum point.
//
// Input: the first byte sets the piece size (x 4 + 1) and the number of
// ticks after each piece (high two bits + 1); every 0xFF byte in the rest
// stands for a well-formed $GPGGA sentence, so the fuzzer mixes real fixes
// into its noise.
#include "FuzzWindow.h"
#include "gps/GgaProcessor.h"
#include "ports/GpsChannel.h"

#include <cstdlib>

namespace {
WindowHarness* harness = nullptr;
FakeDevice* device = nullptr;
const QByteArray kFix = "$GPGGA,031950.000,3540.8712,N,13946.0247,E,1,08,1.0,40.5,M,39.3,M,,0000*5C\r\n";
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    harness = startFuzzHarness(argc, argv);
    device = harness->ports.addDevice(QStringLiteral("COM5"));
    Form1& f = harness->start();
    inside(f).ui.GPS_Port->setText(QStringLiteral("COM5"));
    inside(f).ui.GPS_On->setChecked(true);
    if (!inside(f).MSComm2->isOpen())
        std::abort();
    inside(f).st.DatumLatitude = 35.6812;
    inside(f).st.DatumLongitude = 139.7671;
    inside(f).st.DatumHeight = 40;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Form1& f = harness->form();
    if (size == 0)
        return 0;
    // Each input starts from an empty buffer, armed.
    inside(f).st.GpsBuffer.clear();
    inside(f).st.GgaProcessed = 0;
    const int piece = (data[0] & 0x3F) * 4 + 1;
    const int ticks = (data[0] >> 6) + 1;
    QByteArray bytes;
    for (size_t i = 1; i < size; ++i)
        if (data[i] == 0xFF)
            bytes += kFix;
        else
            bytes += char(data[i]);
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        device->send(bytes.mid(at, piece));
        for (int t = 0; t < ticks; ++t)
            inside(f).gga->GPSTimer_Timer();
    }
    inside(f).gga->GPSTimer_Timer();
    if (inside(f).st.GpsBuffer.size() > GpsChannel::kBufferLimit)
        std::abort();
    return 0;
}
