#pragma once

#include <functional>

// The volume of Sorvane's own playback, in mixer levels (RecordMixer::kLevelMinimum ..
// kLevelMaximum): the listen panel's "speakers". It belongs to Sorvane's playback streams only,
// never to the sound system's output, so other programs and the desktop's volume stay as the
// user set them. Playbacks open at the level and follow its changes while they are open.
namespace PlaybackVolume
{
int Level();
// Clamps to the level range, then hands the level to every open playback.
void SetLevel(int level);

// An open playback's tie to the level: `apply` gets every new level while the tie lives. It is
// called on the thread that sets the level, under a lock of its own, so it must not set the
// level itself.
class CFollower
{
public:
    explicit CFollower(std::function<void(int level)> apply);
    ~CFollower();
    CFollower(const CFollower&) = delete;
    CFollower& operator=(const CFollower&) = delete;

private:
    friend void SetLevel(int level);
    std::function<void(int level)> m_apply;
};
} // namespace PlaybackVolume
