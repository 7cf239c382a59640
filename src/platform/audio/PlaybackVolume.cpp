#include "platform/audio/PlaybackVolume.h"

#include "platform/audio/RecordMixer.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace
{
struct Registry
{
    std::mutex mutex;
    int level = RecordMixer::kLevelMaximum;
    std::vector<PlaybackVolume::CFollower*> followers;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}
} // namespace

namespace PlaybackVolume
{
int Level()
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.level;
}

void SetLevel(int level)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.level = std::clamp(level, RecordMixer::kLevelMinimum, RecordMixer::kLevelMaximum);
    for (CFollower* follower : registry.followers) {
        follower->m_apply(registry.level);
    }
}

CFollower::CFollower(std::function<void(int level)> apply)
    : m_apply(std::move(apply))
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.followers.push_back(this);
}

CFollower::~CFollower()
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    std::erase(registry.followers, this);
}
} // namespace PlaybackVolume
