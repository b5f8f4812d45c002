// Writes the start and finish tones as 16-bit mono PCM wave files:
//   ToneWriter <output folder>
// Start: one 880 Hz beep of 400 ms. Finish: two short 1320 Hz beeps. Alarm: three
// falling two-tone calls.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

void Beep(std::vector<int16_t>& samples, double hz, int ms) {
    const int n = kRate * ms / 1000;
    const int fade = kRate / 200; // 5 ms fade in and out, no clicks
    for (int i = 0; i < n; ++i) {
        double gain = 0.6;
        if (i < fade)
            gain *= static_cast<double>(i) / fade;
        if (n - i < fade)
            gain *= static_cast<double>(n - i) / fade;
        samples.push_back(static_cast<int16_t>(gain * 32767.0 * std::sin(2.0 * M_PI * hz * i / kRate)));
    }
}

void Silence(std::vector<int16_t>& samples, int ms) {
    samples.insert(samples.end(), kRate * ms / 1000, 0);
}

void Put32(FILE* f, uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

void Put16(FILE* f, uint16_t v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

bool WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    Put32(f, 36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    Put32(f, 16);
    Put16(f, 1); // PCM
    Put16(f, 1); // mono
    Put32(f, kRate);
    Put32(f, kRate * 2);
    Put16(f, 2);
    Put16(f, 16);
    std::fwrite("data", 1, 4, f);
    Put32(f, bytes);
    for (int16_t s : samples)
        Put16(f, static_cast<uint16_t>(s));
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ToneWriter <output folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<int16_t> start;
    Beep(start, 880.0, 400);
    std::vector<int16_t> finish;
    Beep(finish, 1320.0, 120);
    Silence(finish, 60);
    Beep(finish, 1320.0, 120);
    // Alarm (the contacts stopped working): three falling two-tone calls.
    std::vector<int16_t> alarm;
    for (int i = 0; i < 3; ++i) {
        Beep(alarm, 988.0, 180);
        Beep(alarm, 659.0, 180);
        Silence(alarm, 80);
    }
    if (!WriteWave(dir + "/Ton-start.wav", start) || !WriteWave(dir + "/Ton-finish.wav", finish) ||
        !WriteWave(dir + "/Ton-alarm.wav", alarm)) {
        std::perror("ToneWriter");
        return 1;
    }
    return 0;
}
