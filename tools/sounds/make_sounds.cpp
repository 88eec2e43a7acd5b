// Writes the tones into the folder given as the only argument: COMP.wav (a
// short high tone, success), NO_COMP.wav (a longer low tone, error) and
// ALARM.wav (a dead link: three rising two-note calls, unlike either result
// tone). 16-bit mono PCM at 22050 Hz; every note fades in and out over 5 ms
// so it starts and stops without a click.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
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

// One note (hz = 0: silence) appended to samples.
void addNote(std::vector<std::int16_t>& samples, double hz, int ms) {
    const int n = kRate * ms / 1000;
    const int fade = kRate * 5 / 1000;
    for (int i = 0; i < n; ++i) {
        double gain = hz > 0 ? 0.5 : 0.0;
        if (i < fade)
            gain *= double(i) / fade;
        else if (n - 1 - i < fade)
            gain *= double(n - 1 - i) / fade;
        samples.push_back(std::int16_t(std::lround(gain * 32767.0 * std::sin(2 * kPi * hz * i / kRate))));
    }
}

struct Note {
    double hz;
    int ms;
};

bool writeTone(const std::string& path, std::initializer_list<Note> notes) {
    std::vector<std::int16_t> samples;
    for (const Note& note : notes)
        addNote(samples, note.hz, note.ms);
    const auto n = samples.size();

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
    const Note call[] = {{660.0, 110}, {990.0, 110}, {0.0, 60}};
    if (!writeTone(dir + "/COMP.wav", {{880.0, 120}}) || !writeTone(dir + "/NO_COMP.wav", {{300.0, 250}}) ||
        !writeTone(dir + "/ALARM.wav", {call[0], call[1], call[2], call[0], call[1], call[2], call[0], call[1]})) {
        std::fprintf(stderr, "cannot write the sound files in %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
