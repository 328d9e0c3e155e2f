#include "insertsounddialog.h"

#include "chatinterfaces.h"
#include "codepage.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QStandardPaths>
#include <QVBoxLayout>

QStringList CInsertSoundDialog::SoundNames(const QString& folder) {
    QStringList names;
    if (folder.isEmpty())
        return names;
    const QDir dir(folder);
    const QStringList files =
        dir.entryList({QStringLiteral("*.wav")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        QString name = file.toLower();
        name.truncate(name.indexOf(QLatin1String(".wav")));
        if (name.isEmpty())
            continue;
        name[0] = name[0].toUpper();
        if (!names.contains(name))
            names.append(name);
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

QString CInsertSoundDialog::SoundsFolder(ISettingsStore* settings) {
    const QString fallback =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/kivra";
    QString install = fallback;
    if (settings)
        install = kivra::platform::FromWire(settings->GetProfileString(
            "Main", "InstallPath", kivra::platform::ToWireString(fallback)));
    return install + QStringLiteral("/sounds");
}

CInsertSoundDialog::CInsertSoundDialog(const QString& soundsFolder, Player play, QWidget* parent)
    : QDialog(parent), m_sounds(new QComboBox(this)), m_play(std::move(play)) {
    setWindowTitle(QStringLiteral("Insert Sound"));
    m_sounds->setObjectName(QString::number(IDC_SOUND));
    m_sounds->addItems(SoundNames(soundsFolder));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Sound:"), m_sounds);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CInsertSoundDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInsertSoundDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    // Connected after filling, so that opening the dialog plays nothing by itself.
    connect(m_sounds, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && m_play)
            m_play(m_sounds->itemText(index));
    });
}

void CInsertSoundDialog::accept() {
    const QString name = m_sounds->currentText();
    if (name.isEmpty()) {
        // Nothing to insert from an empty folder.
        reject();
        return;
    }
    m_markup = QStringLiteral("<snd=%1>(%1)").arg(name);
    QDialog::accept();
}
