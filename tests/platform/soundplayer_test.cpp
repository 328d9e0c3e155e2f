// Sound names are file names in the sounds folder: anything that could reach another file, or a
// path too long for its buffer, is refused.
#include "soundplayer.h"

#include <gtest/gtest.h>

using kivra::platform::CSoundPlayer;

TEST(SoundPlayer, NamesAreFileNamesOnly) {
    const std::string longest(128 - 1 - std::string("/i/sounds/.wav").size(), 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"door bell", "/i/sounds/door bell.wav"},
        {longest, "/i/sounds/" + longest + ".wav"},
        {longest + "a", ""},
        {"", ""},
        {"a..b", ""},
        {"sub/x", ""},
        {"c:\\x", ""},
        {std::string("a\0b", 3), ""},
        {"a\tb", ""},
        {"a\x1b[0m", ""},
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(CSoundPlayer::SoundPath("/i", name), path) << name;
    EXPECT_EQ(CSoundPlayer::SoundPath("/i/", "x"), "/i/sounds/x.wav");
}
