#pragma once
// The signal levels of an exchange, one row each: what the statistics,
// the analysis window, the run report, the record stream and the export
// writers list, in this order. A new level is a value of Level, its row
// here and its source (a field of Exchange filled by the test cycle, or a
// derivation from the other levels).
#include "records/Exchange.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace records {

// Index of a level in kSignals.
enum class Level : std::size_t { FarRssi, AckRssi, Noise, Margin };

// How a map colours a level: on the steps of the run's measured RSSI range,
// on the fixed steps of a level difference (>= 30, 20, 10, 5 dB, below),
// or not at all (not offered as a map value).
enum class ColourScale { RunRange, DbSteps, None };

struct Signal {
    Level level;
    const char* key;       // record stream and export field name ("far_rssi")
    const char* name;      // stem of the analysis window's control names ("FarRssi")
    const char* caption;   // UTF-8 caption of the window, charts and report
    const char* words;     // English words in export descriptions ("far RSSI")
    const char* unit;      // "dBm", or "dB" for a difference of levels
    std::uint32_t rgb;     // colour of its line in the charts
    ColourScale scale;
    bool fitted;           // sensitivity and path-loss fits are made of it
    // A recorded level is a field of the exchange (written to the stream
    // and to exports, read back from them); a derived one is computed from
    // the others and only summarised.
    std::optional<int> Exchange::*field;
    std::optional<int> (*derive)(const Exchange&);

    bool recorded() const { return field != nullptr; }
    std::optional<int> of(const Exchange& e) const { return field ? e.*field : derive(e); }
};

namespace signaldetail {
constexpr std::optional<int> margin(const Exchange& e) {
    if (e.ackRssi && e.noise)
        return *e.ackRssi - *e.noise;
    return std::nullopt;
}
}  // namespace signaldetail

inline constexpr Signal kSignals[] = {
    {Level::FarRssi, "far_rssi", "FarRssi", "相手受信 RSSI", "far RSSI", "dBm", 0x208020, ColourScale::RunRange, true,
     &Exchange::farRssi, nullptr},
    {Level::AckRssi, "ack_rssi", "AckRssi", "自局受信 RSSI", "answer RSSI", "dBm", 0x2040C0, ColourScale::RunRange, true,
     &Exchange::ackRssi, nullptr},
    {Level::Noise, "noise", "Noise", "ノイズ", "noise", "dBm", 0x808080, ColourScale::None, false, &Exchange::noise,
     nullptr},
    {Level::Margin, "margin", "Margin", "マージン", "margin", "dB", 0x905010, ColourScale::DbSteps, true, nullptr,
     &signaldetail::margin},
};
inline constexpr std::size_t kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

// The rows that are fields of the exchange.
constexpr std::size_t recordedSignals() {
    std::size_t n = 0;
    for (const Signal& s : kSignals)
        n += s.field != nullptr;
    return n;
}
inline constexpr std::size_t kRecordedSignals = recordedSignals();

// One value per level, indexed by Level.
template <typename T>
struct PerLevel {
    std::array<T, kSignalCount> items{};
    T& operator[](Level l) { return items[std::size_t(l)]; }
    const T& operator[](Level l) const { return items[std::size_t(l)]; }
    T& operator[](const Signal& s) { return (*this)[s.level]; }
    const T& operator[](const Signal& s) const { return (*this)[s.level]; }
};

inline const Signal& signal(Level l) { return kSignals[std::size_t(l)]; }

// Every level of an exchange.
inline PerLevel<std::optional<int>> levelsOf(const Exchange& e) {
    PerLevel<std::optional<int>> v;
    for (const Signal& s : kSignals)
        v[s] = s.of(e);
    return v;
}

// Rows must stand at their Level's index.
constexpr bool rowsInOrder() {
    for (std::size_t i = 0; i < kSignalCount; ++i)
        if (std::size_t(kSignals[i].level) != i)
            return false;
    return true;
}
static_assert(rowsInOrder(), "kSignals rows must follow the order of Level");

}  // namespace records
