#include "SquelchGate.h"

#include <cmath>

namespace qv::audio {

double FrameLevelDbfs(const std::int16_t* samples, int count) {
    if (count <= 0) {
        return -120.0;
    }
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    const double rms = std::sqrt(sum / count) / 32768.0;
    return rms <= 1e-6 ? -120.0 : 20.0 * std::log10(rms);
}

std::uint8_t LevelByte(double levelDbfs) {
    if (levelDbfs <= -110.0) {
        return 127;
    }
    const long dbov = std::lround(-levelDbfs);
    return static_cast<std::uint8_t>(dbov < 0 ? 0 : (dbov > 126 ? 126 : dbov));
}

}  // namespace qv::audio
