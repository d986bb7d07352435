// Writes the shutter sound "camera.wav": two short bursts of filtered noise,
// the shutter opening and closing, 22050 Hz mono 16-bit PCM, about 0.2 s.
// Run at build time, so the sound is the project's own and no binary file
// is kept in the sources.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakeShutterSound OUT.wav\n");
        return 2;
    }
    constexpr int rate = 22050;
    constexpr double seconds = 0.22;
    const int count = int(rate * seconds);
    std::vector<int16_t> samples(size_t(count), 0);
    uint32_t seed = 12345;
    double low = 0; // a one-pole low-pass makes the noise a dull click
    struct Burst {
        double start, decay, gain, brightness;
    };
    const Burst bursts[] = {{0.000, 0.012, 0.9, 0.55}, {0.095, 0.020, 0.7, 0.35}};
    for (int i = 0; i < count; ++i) {
        const double t = double(i) / rate;
        seed = seed * 1664525u + 1013904223u;
        const double noise = double(int32_t(seed)) / 2147483648.0;
        double v = 0;
        for (const Burst& b : bursts) {
            if (t < b.start) continue;
            const double envelope = b.gain * std::exp(-(t - b.start) / b.decay);
            low += b.brightness * (noise - low);
            v += envelope * low;
        }
        samples[size_t(i)] = int16_t(std::lround(std::fmax(-1.0, std::fmin(1.0, v)) * 32000));
    }

    std::vector<uint8_t> wav;
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    for (char c : {'R', 'I', 'F', 'F'}) wav.push_back(uint8_t(c));
    PutLe(wav, 36 + dataBytes, 4);
    for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) wav.push_back(uint8_t(c));
    PutLe(wav, 16, 4);       // format chunk size
    PutLe(wav, 1, 2);        // PCM
    PutLe(wav, 1, 2);        // mono
    PutLe(wav, rate, 4);     // sample rate
    PutLe(wav, rate * 2, 4); // byte rate
    PutLe(wav, 2, 2);        // block align
    PutLe(wav, 16, 2);       // bits per sample
    for (char c : {'d', 'a', 't', 'a'}) wav.push_back(uint8_t(c));
    PutLe(wav, dataBytes, 4);
    for (int16_t s : samples) PutLe(wav, uint16_t(s), 2);

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(wav.data(), 1, wav.size(), f) == wav.size();
    return std::fclose(f) == 0 && ok ? 0 : 1;
}
