#include "soundplayer.h"

#include "codepage.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace kivra::platform {

CSoundPlayer::CSoundPlayer() = default;
CSoundPlayer::~CSoundPlayer() = default;

std::string CSoundPlayer::SoundPath(const std::string& installPath, const std::string& name) {
    if (name.empty() || name.find("..") != std::string::npos)
        return {};
    for (const char c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return {};
    std::string path = installPath;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += "sounds/" + name + ".wav";
    return path.size() < kMaxSoundPath ? path : std::string();
}

void CSoundPlayer::Play(const std::string& path) {
    const QString file = FromWire(path);
    if (!QFileInfo(file).isFile()) {
        QApplication::beep();
        return;
    }
    // One effect for all sounds: giving it a new source stops the one playing.
    if (!m_pEffect)
        m_pEffect = std::make_unique<QSoundEffect>();
    m_pEffect->stop();
    m_pEffect->setSource(QUrl::fromLocalFile(file));
    m_pEffect->play();
}

} // namespace kivra::platform
