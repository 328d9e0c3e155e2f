#pragma once
// CSoundPlayer: plays the wave files of the sounds folder. Asynchronous; a new sound cuts the one
// playing, and a sound whose file is missing gives the default beep instead.

#include <memory>
#include <string>

class QSoundEffect;

namespace kivra::platform {

class CSoundPlayer {
public:
    // The longest path a sound may have, terminator included.
    static constexpr std::size_t kMaxSoundPath = 128;

    CSoundPlayer();
    ~CSoundPlayer();

    // installPath + "/sounds/" + name + ".wav", or empty when the name is refused: a sound name is
    // a file name, never a path (no "/", "\", "..", zero or control characters), and one whose
    // path would not fit is refused rather than cut.
    static std::string SoundPath(const std::string& installPath, const std::string& name);
    void Play(const std::string& path);

private:
    std::unique_ptr<QSoundEffect> m_pEffect;
};

} // namespace kivra::platform
