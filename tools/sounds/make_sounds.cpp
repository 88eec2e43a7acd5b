// Writes the two result tones into the folder given as the only argument:
// COMP.wav (a short high tone, success) and NO_COMP.wav (a longer low tone,
// error). 16-bit mono PCM at 22050 Hz, with a 5 ms fade at both ends so the
// tones start and stop without a click.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

void put16(std::ofstream& out, std::uint16_t v) {
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    out.write(b, 2);
}

void put32(std::ofstream& out, std::uint32_t v) {
    put16(out, std::uint16_t(v & 0xFFFF));
    put16(out, std::uint16_t(v >> 16));
}

bool writeTone(const std::string& path, double hz, int ms) {
    const int n = kRate * ms / 1000;
    const int fade = kRate * 5 / 1000;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        double gain = 0.5;
        if (i < fade)
            gain *= double(i) / fade;
        else if (n - 1 - i < fade)
            gain *= double(n - 1 - i) / fade;
        samples[std::size_t(i)] = std::int16_t(std::lround(gain * 32767.0 * std::sin(2 * kPi * hz * i / kRate)));
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::uint32_t dataBytes = std::uint32_t(n) * 2;
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);            // format chunk size
    put16(out, 1);             // PCM
    put16(out, 1);             // mono
    put32(out, kRate);
    put32(out, kRate * 2);     // bytes per second
    put16(out, 2);             // bytes per frame
    put16(out, 16);            // bits per sample
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::int16_t s : samples)
        put16(out, std::uint16_t(s));
    return bool(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    if (!writeTone(dir + "/COMP.wav", 880.0, 120) || !writeTone(dir + "/NO_COMP.wav", 300.0, 250)) {
        std::fprintf(stderr, "cannot write the sound files in %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
