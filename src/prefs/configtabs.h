#pragma once
// The preferences sheet's pages: General (permissions and the private-message settings), User
// (the personal record kept on the server), Display (message styles with a live preview) and
// User Icon (whether avatars are shown).

#include "configdlg.h"

#include <QFont>
#include <memory>

namespace Ui {
class CGeneralTab;
class CUserTab;
class CDispTab;
class CAvatarTab;
} // namespace Ui
class QComboBox;

class CGeneralTab : public CConfigPage {
public:
    explicit CGeneralTab(CConfigDlg& sheet);
    ~CGeneralTab() override;
    void OnSetActive() override;
    bool Validate() override;
    void OnApply() override;

    // The limit of "Max Private Message Dialogs:": 0 for the exact word "NONE", the number for
    // a whole decimal number up to 9999 (blanks around it allowed), -1 for anything else.
    static int ParseMaxPMText(const QString& text);

private:
    void OnPermissionChosen(QComboBox* combo, std::int32_t& value, std::uint32_t bit);
    std::unique_ptr<Ui::CGeneralTab> m_ui;
    bool m_bLoading = false;
    bool m_bLoadedLocal = false;
};

class CUserTab : public CConfigPage {
public:
    explicit CUserTab(CConfigDlg& sheet);
    ~CUserTab() override;
    void OnSetActive() override;
    void OnKillActive() override;
    void OnApply() override;

private:
    std::unique_ptr<Ui::CUserTab> m_ui;
    bool m_bLoading = false;
    // The texts as filled in, to tell which ones the user changed.
    QString m_loaded[4];
};

class CDispTab : public CConfigPage {
public:
    // The seven display elements in list order and the kinds they stand for.
    static constexpr int kElementCount = 7;
    static int ElementKind(int element);
    // The RGB colour a colour index 1..8 is drawn in (black for anything else).
    static QColor IndexColor(int index);
    // A swatch icon of a colour index.
    static QIcon SwatchIcon(int index);
    // The seven sample lines of the preview, as one text.
    static QString PreviewText();

    explicit CDispTab(CConfigDlg& sheet);
    ~CDispTab() override;
    void OnSetActive() override;
    void OnApply() override;

    // The element the colour button and the check boxes edit: always the highlighted one.
    int CurrentElement() const;
    // Gives the current element the colour index (from the button or "Select Color").
    void PickColor(int index);
    const QFont& PreviewFont() const { return m_font; }

private:
    void ShowElement();
    void ToggleEffect(std::uint32_t bit, bool on);
    void ChooseColor();
    void ChooseFont();
    void RefreshPreview();
    std::uint32_t& Style(int element);

    std::unique_ptr<Ui::CDispTab> m_ui;
    bool m_bLoading = false;
    QFont m_font;
    bool m_bFontLoaded = false;
    bool m_bFontChosen = false;
};

class CAvatarTab : public CConfigPage {
public:
    explicit CAvatarTab(CConfigDlg& sheet);
    ~CAvatarTab() override;
    void OnSetActive() override;
    void OnApply() override;

private:
    std::unique_ptr<Ui::CAvatarTab> m_ui;
    // The avatar delay of the (hidden) caching slider; nothing changes it.
    int m_nDelay = 0;
};
