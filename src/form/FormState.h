#pragma once
// The window's instance variables shared by more than one subsystem. State
// used by one subsystem only lives in that subsystem's class.
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

struct FormState {
    // The values the run and initialisation state take (kept as integers:
    // the run buttons' index is the run kind, 1 a counted run).
    static constexpr int kContinuousRun = 0;   // RunKind
    static constexpr int kNoStopPending = 0;   // RunState
    static constexpr int kStopPending = 1;
    static constexpr int kNoFirmwareAnswer = 0;     // FirmwareKind: no answer to "@FV"
    static constexpr int kFirmwareVersionForm = 1;  //   "Version=": no floor noise
    static constexpr int kFirmwareFvForm = 2;       //   "*FV": "@RA" floor noise too
    static constexpr int kListForRadioPort = 1;     // PortListTarget
    static constexpr int kListForGpsPort = 2;

    // Radio port channel and the test cycle's timing of one data exchange.
    QString PendingCommand;
    qint32 SendTime = 0;          // millisecond counter at the last data command (0 before the first)
    QString ResponseTime;
    int AwaitingResponse = 0;
    // The same instants on the microsecond clock: the send, and the arrival
    // of the bytes that completed the awaited answer (empty until then).
    std::int64_t SendTimeUs = 0;
    std::optional<std::int64_t> ResponseTimeUs;

    // Run start and stop.
    int RunKind = kContinuousRun;
    int RunState = kNoStopPending;

    // Initialisation sequence.
    int InitStep = 0;
    int FirmwareKind = kNoFirmwareAnswer;
    int SpreadingIndex = 0;       // LoRa 0..5

    // Run parameters.
    double TxPeriod = 0;
    double MinTxPeriod = 0;
    int ResultPending = 0;

    // Constants fixed at start-up.
    int FSKMinTxTime = 0;
    std::array<int, 6> LoRaMinTxTime{};
    QString ExpectedAnswerHex;

    // Ten-sample RSSI histories, index 9 newest.
    std::array<QString, 10> RxRssiHistory;
    std::array<QString, 10> AckRssiHistory;

    // Colour set, 0x00BBGGRR (0x80000000 + n names system colour n).
    std::uint32_t NormalBackColor = 0;
    std::uint32_t WarningBackColor = 0;
    std::uint32_t SelectedBackColor = 0;
    std::uint32_t RxBarColor = 0;
    std::uint32_t RxAverageColor = 0;
    std::uint32_t GraphBackColor = 0;
    std::uint32_t GridColor = 0;
    std::uint32_t NoiseColor = 0;
    std::uint32_t AckAverageColor = 0;

    // Port discovery.
    int PortListTarget = 0;       // kListForRadioPort or kListForGpsPort once a list was opened

    // GPS.
    QString GpsBuffer;
    int GgaProcessed = 0;
    double LatitudeRaw = 0;
    double LongitudeRaw = 0;
    double Altitude = 0;
    double LatitudeDeg = 0;
    double LongitudeDeg = 0;

    // Datum point.
    double DatumLatitude = 0;
    double DatumLongitude = 0;
    double DatumHeight = 0;
    double NorthCorrection = 0;
    double EastCorrection = 0;
};
