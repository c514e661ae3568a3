#include <alsa/asoundlib.h>

#include <memory>

#include "platform/Mixer.h"

namespace qv {
namespace {

struct ControlInfo {
    const char* name;
    bool capture;
    bool isSwitch;
};

ControlInfo Describe(MixerControl control) {
    switch (control) {
        case MixerControl::MasterVolume:
            return {"Master", false, false};
        case MixerControl::WaveVolume:
            return {"PCM", false, false};
        case MixerControl::MicVolume:
            return {"Capture", true, false};
        case MixerControl::MicOnOff:
            return {"Capture", true, true};
    }
    return {"", false, false};
}

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA reports a missing card on stderr; keep it quiet while probing.
class QuietAlsaErrors {
  public:
    QuietAlsaErrors() { snd_lib_error_set_handler(&SilentAlsaError); }
    ~QuietAlsaErrors() { snd_lib_error_set_handler(nullptr); }
    QuietAlsaErrors(const QuietAlsaErrors&) = delete;
    QuietAlsaErrors& operator=(const QuietAlsaErrors&) = delete;
};

class AlsaMixer final : public Mixer {
  public:
    explicit AlsaMixer(snd_mixer_t* handle) : handle_(handle) {}
    ~AlsaMixer() override { snd_mixer_close(handle_); }
    AlsaMixer(const AlsaMixer&) = delete;
    AlsaMixer& operator=(const AlsaMixer&) = delete;

    std::uint32_t GetLevel(MixerControl control) override {
        const ControlInfo info = Describe(control);
        snd_mixer_elem_t* elem = Find(info);
        if (elem == nullptr) {
            return kMixerNotFound;
        }
        const snd_mixer_selem_channel_id_t channel = FirstChannel(elem, info.capture);
        if (info.isSwitch) {
            int on = 0;
            if (snd_mixer_selem_get_capture_switch(elem, channel, &on) < 0) {
                return kMixerNotFound;
            }
            return on != 0 ? 1 : 0;
        }
        long minimum = 0;
        long maximum = 0;
        long value = 0;
        const int rangeErr =
            info.capture ? snd_mixer_selem_get_capture_volume_range(elem, &minimum, &maximum)
                         : snd_mixer_selem_get_playback_volume_range(elem, &minimum, &maximum);
        const int valueErr = info.capture
                                 ? snd_mixer_selem_get_capture_volume(elem, channel, &value)
                                 : snd_mixer_selem_get_playback_volume(elem, channel, &value);
        if (rangeErr < 0 || valueErr < 0) {
            return kMixerNotFound;
        }
        if (maximum <= minimum) {
            return 0;
        }
        // ALSA ranges may be negative, so scale the offset from the minimum.
        value = value < minimum ? minimum : (value > maximum ? maximum : value);
        return MixerLevelFromValue(static_cast<std::uint32_t>(value - minimum), 0,
                                   static_cast<std::uint32_t>(maximum - minimum));
    }

    void SetLevel(MixerControl control, std::uint32_t level) override {
        const ControlInfo info = Describe(control);
        snd_mixer_elem_t* elem = Find(info);
        if (elem == nullptr) {
            return;
        }
        if (info.isSwitch) {
            snd_mixer_selem_set_capture_switch_all(elem, level != 0 ? 1 : 0);
            return;
        }
        long minimum = 0;
        long maximum = 0;
        const int rangeErr =
            info.capture ? snd_mixer_selem_get_capture_volume_range(elem, &minimum, &maximum)
                         : snd_mixer_selem_get_playback_volume_range(elem, &minimum, &maximum);
        if (rangeErr < 0) {
            return;
        }
        long value = minimum;
        if (maximum > minimum) {
            value += MixerValueFromLevel(level, 0, static_cast<std::uint32_t>(maximum - minimum));
            value = value > maximum ? maximum : value;
        }
        if (info.capture) {
            snd_mixer_selem_set_capture_volume_all(elem, value);
        } else {
            snd_mixer_selem_set_playback_volume_all(elem, value);
        }
    }

    std::string ControlName(MixerControl control) override {
        snd_mixer_elem_t* elem = Find(Describe(control));
        return elem != nullptr ? snd_mixer_selem_get_name(elem) : std::string();
    }

  private:
    // The element by name, only when it has the capability the control needs.
    snd_mixer_elem_t* Find(const ControlInfo& info) {
        // Pick up changes made by other programs since the last call.
        snd_mixer_handle_events(handle_);
        snd_mixer_selem_id_t* rawId = nullptr;
        if (snd_mixer_selem_id_malloc(&rawId) < 0) {
            return nullptr;
        }
        std::unique_ptr<snd_mixer_selem_id_t, void (*)(snd_mixer_selem_id_t*)> id(
            rawId, &snd_mixer_selem_id_free);
        snd_mixer_selem_id_set_index(id.get(), 0);
        snd_mixer_selem_id_set_name(id.get(), info.name);
        snd_mixer_elem_t* elem = snd_mixer_find_selem(handle_, id.get());
        if (elem == nullptr) {
            return nullptr;
        }
        bool has = false;
        if (info.isSwitch) {
            has = snd_mixer_selem_has_capture_switch(elem) != 0;
        } else if (info.capture) {
            has = snd_mixer_selem_has_capture_volume(elem) != 0;
        } else {
            has = snd_mixer_selem_has_playback_volume(elem) != 0;
        }
        return has ? elem : nullptr;
    }

    // Front-left when present (it is also the mono channel), else the first channel there is.
    static snd_mixer_selem_channel_id_t FirstChannel(snd_mixer_elem_t* elem, bool capture) {
        for (int c = SND_MIXER_SCHN_FRONT_LEFT; c <= SND_MIXER_SCHN_LAST; ++c) {
            const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
            const int has = capture ? snd_mixer_selem_has_capture_channel(elem, channel)
                                    : snd_mixer_selem_has_playback_channel(elem, channel);
            if (has > 0) {
                return channel;
            }
        }
        return SND_MIXER_SCHN_FRONT_LEFT;
    }

    snd_mixer_t* handle_;
};

}  // namespace

std::unique_ptr<Mixer> MakeAlsaMixer() {
    const QuietAlsaErrors quiet;
    snd_mixer_t* handle = nullptr;
    if (snd_mixer_open(&handle, 0) < 0) {
        return nullptr;
    }
    if (snd_mixer_attach(handle, "default") < 0 ||
        snd_mixer_selem_register(handle, nullptr, nullptr) < 0 || snd_mixer_load(handle) < 0) {
        snd_mixer_close(handle);
        return nullptr;
    }
    return std::make_unique<AlsaMixer>(handle);
}

}  // namespace qv
