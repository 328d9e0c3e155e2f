#include "colorbutton.h"
#include "configtabs.h"
#include "dialogservice.h"
#include "selectcolordlg.h"
#include "settingsstore.h"
#include "useroptions.h"

#include "codepage.h"
#include "ui_disptab.h"
#include "ui_selectcolordlg.h"

#include <QPainter>
#include <QPixmap>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

using kivra::platform::FromWire;
using kivra::platform::ToWire;

namespace {

constexpr int kElementKinds[CDispTab::kElementCount] = {
    CUserOptions::KIND_USERNAME,      CUserOptions::KIND_TELL_MESSAGE,
    CUserOptions::KIND_SAY_MESSAGE,   CUserOptions::KIND_EMOTE_MESSAGE,
    CUserOptions::KIND_SHOUT_MESSAGE, CUserOptions::KIND_ENTER_MESSAGE,
    CUserOptions::KIND_LEAVE_MESSAGE,
};

// Swatch button id -> colour index, in the order the indexes run.
constexpr int kSwatchIds[8] = {208, 209, 214, 212, 215, 210, 213, 211};

const char kTellSentence[] = "I got the latest version from the Kivra web site.";

} // namespace

// Colour button --------------------------------------------------------------------------------

bool CColorButton::applyFieldText(const QString& text) {
    bool numeric = false;
    int index = text.trimmed().toInt(&numeric);
    if (!numeric) {
        const QByteArray name = text.trimmed().toLatin1();
        // Only the eight names count here: "notset" picks nothing.
        index = 0;
        for (int i = 1; i <= 8; ++i)
            if (name.compare(CUserOptions::ColorName(std::uint32_t(i)), Qt::CaseInsensitive) == 0)
                index = i;
    }
    if (index < 1 || index > 8)
        return false;
    emit colorPicked(index);
    return true;
}

// Select Color -----------------------------------------------------------------------------------

CSelectColorDlg::CSelectColorDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CSelectColorDlg>()) {
    m_ui->setupUi(this);
    for (QPushButton* button : findChildren<QPushButton*>()) {
        const int index = IndexOfButton(button->property("controlId").toInt());
        if (index == 0)
            continue;
        button->setIcon(CDispTab::SwatchIcon(index));
        button->setIconSize(QSize(32, 16));
        button->setToolTip(QString::fromLatin1(CUserOptions::ColorName(std::uint32_t(index))));
        connect(button, &QPushButton::clicked, this, [this, index] {
            m_nChosen = index;
            accept();
        });
    }
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CSelectColorDlg::~CSelectColorDlg() = default;

int CSelectColorDlg::IndexOfButton(int id) {
    for (int i = 0; i < 8; ++i)
        if (kSwatchIds[i] == id)
            return i + 1;
    return 0;
}

// Display ----------------------------------------------------------------------------------------

int CDispTab::ElementKind(int element) {
    return element >= 0 && element < kElementCount ? kElementKinds[element] : -1;
}

QColor CDispTab::IndexColor(int index) {
    // The normal colours of the server's escapes: 1 white .. 8 cyan.
    static const QRgb kColours[9] = {0x000000, 0xC0C0C0, 0x000000, 0xC00000, 0x00C000,
                                     0xC0C000, 0x0000C0, 0xC000C0, 0x00C0C0};
    return QColor(index >= 1 && index <= 8 ? kColours[index] : 0x000000u);
}

QIcon CDispTab::SwatchIcon(int index) {
    QPixmap swatch(32, 16);
    swatch.fill(IndexColor(index));
    QPainter p(&swatch);
    p.setPen(Qt::black);
    p.drawRect(0, 0, 31, 15);
    return QIcon(swatch);
}

QString CDispTab::PreviewText() {
    return QStringLiteral("Welcome! You have now entered Zada Duzod...\n"
                          "Mira says, Do you have the latest Kivra?\n"
                          "You tell Mira, ") +
           QLatin1String(kTellSentence) +
           QStringLiteral("\n"
                          "Otto wonders where he is ..??\n"
                          "Otto Leaves.\n"
                          "You shout, Kivra is cool!\n"
                          "Lena Enters.");
}

CDispTab::CDispTab(CConfigDlg& sheet)
    : CConfigPage(sheet, QStringLiteral("Display")), m_ui(std::make_unique<Ui::CDispTab>()) {
    m_ui->setupUi(this);
    m_ui->colorButton->setIconSize(QSize(32, 16));
    connect(m_ui->elementList, &QListWidget::currentRowChanged, this, [this] { ShowElement(); });
    connect(m_ui->boldCheck, &QCheckBox::toggled, this,
            [this](bool on) { ToggleEffect(CUserOptions::STYLE_BOLD, on); });
    connect(m_ui->underlineCheck, &QCheckBox::toggled, this,
            [this](bool on) { ToggleEffect(CUserOptions::STYLE_UNDERLINE, on); });
    connect(m_ui->colorButton, &QPushButton::clicked, this, [this] { ChooseColor(); });
    connect(m_ui->colorButton, &CColorButton::colorPicked, this,
            [this](int index) { PickColor(index); });
    connect(m_ui->fontButton, &QPushButton::clicked, this, [this] { ChooseFont(); });
}

CDispTab::~CDispTab() = default;

int CDispTab::CurrentElement() const {
    return m_ui->elementList->currentRow();
}

std::uint32_t& CDispTab::Style(int element) {
    return Sheet().Options().m_dwStyle[ElementKind(element)];
}

void CDispTab::OnSetActive() {
    if (!m_bFontLoaded) {
        const ViewFontSettings f = GetViewFont(Sheet().Settings(), kSectionMain);
        m_font = QFont(FromWire(f.family.empty() ? std::string("Arial") : f.family));
        const int tenths = f.twentieths / 2;
        m_font.setPointSizeF(tenths > 0 && tenths <= 10000 ? tenths / 10.0 : 10.0);
        m_bFontLoaded = true;
    }
    // The highlighted entry is the one the buttons edit; the first one until the user picks.
    if (CurrentElement() < 0) {
        const QSignalBlocker block(m_ui->elementList);
        m_ui->elementList->setCurrentRow(0);
    }
    ShowElement();
}

void CDispTab::ShowElement() {
    const int element = CurrentElement();
    if (element < 0)
        return;
    m_bLoading = true;
    const std::uint32_t style = Style(element);
    m_ui->colorButton->setIcon(SwatchIcon(int(style & CUserOptions::STYLE_COLOR_MASK)));
    m_ui->boldCheck->setChecked(CUserOptions::IsBold(style));
    m_ui->underlineCheck->setChecked(CUserOptions::IsUnderline(style));
    m_bLoading = false;
    RefreshPreview();
}

void CDispTab::ToggleEffect(std::uint32_t bit, bool on) {
    const int element = CurrentElement();
    if (m_bLoading || element < 0)
        return;
    std::uint32_t& style = Style(element);
    if (on)
        style |= bit;
    else
        CUserOptions::ClearEffect(style, bit);
    Sheet().Options().m_dwChangeMask |= CUserOptions::ChangeBit(ElementKind(element));
    SetModified();
    RefreshPreview();
}

void CDispTab::PickColor(int index) {
    const int element = CurrentElement();
    if (element < 0 || index < 1 || index > 8)
        return;
    CUserOptions::SetColorCode(Style(element), std::uint32_t(index));
    Sheet().Options().m_dwChangeMask |= CUserOptions::ChangeBit(ElementKind(element));
    m_ui->colorButton->setIcon(SwatchIcon(index));
    SetModified();
    RefreshPreview();
}

void CDispTab::ChooseColor() {
    CSelectColorDlg dlg(this);
    if (Sheet().Dialogs().RunModal(&dlg) == QDialog::Accepted && dlg.Chosen() != 0)
        PickColor(dlg.Chosen());
}

void CDispTab::ChooseFont() {
    const auto font = Sheet().Dialogs().GetFont(this, m_font);
    if (!font)
        return;
    m_font = QFont(font->family());
    // Kept in twentieths of a point, as the settings store keeps it.
    m_font.setPointSizeF(std::lround(font->pointSizeF() * 20.0) / 20.0);
    m_bFontChosen = true;
    SetModified();
    RefreshPreview();
}

void CDispTab::RefreshPreview() {
    QTextDocument* doc = m_ui->preview->document();
    doc->setDefaultFont(m_font);
    m_ui->preview->setPlainText(PreviewText());
    auto styleOf = [this](int kind) {
        const std::uint32_t style = Sheet().Options().m_dwStyle[kind];
        QTextCharFormat format;
        format.setForeground(IndexColor(int(style & CUserOptions::STYLE_COLOR_MASK)));
        format.setFontWeight(CUserOptions::IsBold(style) ? QFont::Bold : QFont::Normal);
        format.setFontUnderline(CUserOptions::IsUnderline(style));
        return format;
    };
    auto apply = [doc](const QString& words, const QTextCharFormat& format, bool every) {
        QTextCursor at = doc->find(words, 0, QTextDocument::FindCaseSensitively);
        while (!at.isNull()) {
            at.mergeCharFormat(format);
            if (!every)
                break;
            at = doc->find(words, at, QTextDocument::FindCaseSensitively);
        }
    };
    apply(QStringLiteral("Leaves."), styleOf(CUserOptions::KIND_LEAVE_MESSAGE), false);
    apply(QStringLiteral("Kivra is cool!"), styleOf(CUserOptions::KIND_SHOUT_MESSAGE), false);
    apply(QStringLiteral("wonders where he is ..??"), styleOf(CUserOptions::KIND_EMOTE_MESSAGE),
          false);
    apply(QStringLiteral("Enters."), styleOf(CUserOptions::KIND_ENTER_MESSAGE), false);
    apply(QStringLiteral("Do you have the latest Kivra?"), styleOf(CUserOptions::KIND_SAY_MESSAGE),
          false);
    apply(QLatin1String(kTellSentence), styleOf(CUserOptions::KIND_TELL_MESSAGE), false);
    for (const char* name : {"Mira", "Otto", "Lena"})
        apply(QLatin1String(name), styleOf(CUserOptions::KIND_USERNAME), true);
}

void CDispTab::OnApply() {
    Sheet().Options().SendChanges(3);
    if (!m_bFontChosen)
        return;
    ViewFontSettings f;
    f.twentieths = int(std::lround(m_font.pointSizeF() * 20.0));
    f.family = ToWire(m_font.family()).toStdString();
    WriteViewFont(Sheet().Settings(), kSectionMain, f);
    if (Sheet().Hooks().outputFontChanged)
        Sheet().Hooks().outputFontChanged();
}
