// Writes the notification sound "notify.wav": a soft two-tone chime (a bell-like A5 followed by
// E6), 16-bit PCM mono at 22050 Hz, 0.4 seconds. Run by the build: make_notify_wav <output>.
// With "favourite" after the output it writes "favourite.wav", the sound of news about a
// favourite: three rising notes (C6, E6, G6), 0.6 seconds.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

// One struck note: a 6 ms attack, then an exponential decay; a quiet octave partial gives it a
// bell-like colour.
double Note(double t, double start, double freq, double decay) {
  const double u = t - start;
  if (u < 0) return 0;
  const double attack = std::min(1.0, u / 0.006);
  const double env = attack * std::exp(-u * decay);
  return env * (std::sin(2 * kPi * freq * u) + 0.25 * std::sin(2 * kPi * 2 * freq * u));
}

void Put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xff);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xffff));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

}  // namespace

int main(int argc, char** argv) {
  const bool favourite = argc == 3 && std::string(argv[2]) == "favourite";
  if (argc != 2 && !favourite) {
    std::fprintf(stderr, "usage: %s <output.wav> [favourite]\n", argv[0]);
    return 2;
  }
  const double seconds = favourite ? 0.6 : 0.4;
  const int samples = static_cast<int>(kRate * seconds);
  std::vector<int16_t> pcm(samples);
  for (int i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = favourite ? 0.36 * Note(t, 0.0, 1046.5, 9.0) + 0.36 * Note(t, 0.1, 1318.5, 8.0) +
                               0.36 * Note(t, 0.2, 1568.0, 6.0)
                         : 0.42 * Note(t, 0.0, 880.0, 9.0) + 0.42 * Note(t, 0.12, 1318.5, 8.0);
    // A short fade at the very end, so the last sample is silence and nothing clicks.
    const double tail = (samples - 1 - i) / (0.02 * kRate);
    if (tail < 1) v *= tail;
    pcm[i] = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767 * 0.8));
  }

  const uint32_t dataBytes = static_cast<uint32_t>(samples * 2);
  std::string out;
  out += "RIFF";
  Put32(out, 36 + dataBytes);
  out += "WAVE";
  out += "fmt ";
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, 1);  // mono
  Put32(out, kRate);
  Put32(out, kRate * 2);  // bytes per second
  Put16(out, 2);          // bytes per sample frame
  Put16(out, 16);         // bits per sample
  out += "data";
  Put32(out, dataBytes);
  for (int16_t s : pcm) Put16(out, static_cast<uint16_t>(s));

  const std::string temp = std::string(argv[1]) + ".tmp";
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!f) {
      std::fprintf(stderr, "cannot write %s\n", temp.c_str());
      return 1;
    }
  }
  if (std::rename(temp.c_str(), argv[1]) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
