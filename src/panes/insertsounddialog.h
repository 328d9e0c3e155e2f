#pragma once
// CInsertSoundDialog: lists the sounds of the sounds folder, plays each one as it is chosen,
// and builds the sound markup that the input line puts in place of its selection.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QComboBox;
class ISettingsStore;

class CInsertSoundDialog : public QDialog {
    Q_OBJECT
public:
    enum : int { IDD = 124, IDC_SOUND = 125 };
    using Player = std::function<void(const QString& name)>;

    CInsertSoundDialog(const QString& soundsFolder, Player play, QWidget* parent = nullptr);

    QComboBox* SoundBox() const { return m_sounds; }
    const QString& Markup() const { return m_markup; }

    // The sound names of a folder: every *.wav (any case), lower-cased, cut at ".wav", first
    // letter upper-cased, sorted, each once.
    static QStringList SoundNames(const QString& folder);
    // InstallPath + "/sounds", InstallPath from the settings store.
    static QString SoundsFolder(ISettingsStore* settings);

    void accept() override;

private:
    QComboBox* m_sounds;
    Player m_play;
    QString m_markup;
};
