#pragma once

// What the stores ask of the voice engine: the watch list for presence, the block list, a sound
// and the connection state. The program fills it from the engine manager; tests record it.

#include <cstdint>
#include <string>

namespace qv {

class EngineLists {
  public:
    virtual ~EngineLists() = default;

    // The whole watch list: IDs each followed by a line feed.
    virtual void SetWatchList(const std::string& list) = 0;
    virtual void AddWatch(const std::string& id) = 0;
    virtual void RemoveWatch(const std::string& id) = 0;
    // The whole block list: IDs each followed by a line feed.
    virtual void SetBlockList(const std::string& list) = 0;
    virtual void PlaySoundEvent(const std::string& name) = 0;
    // 0 idle .. 4 logged in.
    virtual int ConnectionState() const = 0;
};

}  // namespace qv
