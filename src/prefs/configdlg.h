#pragma once
// CConfigDlg: the modal preferences sheet "Kivra Preferences" over the chat context, with the
// pages General, User, Display and User Icon. Each page fills its controls whenever it becomes
// the active page; OK and Apply apply every page that has been shown, Cancel applies nothing.
// The server-side values are edited in the context's CUserOptions and sent back page by page.

#include "chatcontext.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QTabWidget;
class QDialogButtonBox;
class CConfigDlg;
class CUserOptions;
namespace kivra::platform {
class DialogService;
}

// What the sheet asks of the panel that opens it.
struct CConfigHooks {
    // One event line of the headless contract ("[prefs] General").
    std::function<void(const std::string&)> eventLine;
    // The output view's font settings were written: it takes them at once.
    std::function<void()> outputFontChanged;
};

class CConfigPage : public QWidget {
public:
    CConfigPage(CConfigDlg& sheet, const QString& caption);
    const QString& Caption() const { return m_caption; }
    bool WasShown() const { return m_bShown; }

    // Fills the controls; the page is becoming the active one.
    virtual void OnSetActive() = 0;
    // Checks what the user entered; false (after telling the user) keeps the page active and
    // refuses OK and Apply.
    virtual bool Validate() { return true; }
    // The page stops being the active one (its edits are kept in the options record).
    virtual void OnKillActive() {}
    // OK or Apply.
    virtual void OnApply() = 0;

protected:
    CConfigDlg& Sheet() { return m_sheet; }
    // The user changed something: the sheet's Apply button wakes up.
    void SetModified();

private:
    friend class CConfigDlg;
    CConfigDlg& m_sheet;
    QString m_caption;
    bool m_bShown = false;
};

class CConfigDlg : public QDialog {
public:
    CConfigDlg(CChatContext& context, ISettingsStore& settings,
               kivra::platform::DialogService& dialogs, CConfigHooks hooks,
               QWidget* parent = nullptr);
    ~CConfigDlg() override;

    // Makes the General page the active page (before the sheet runs).
    void Open();
    // Checks every shown page, lets the active one keep its edits, then applies every shown
    // page in order. False when a page refused.
    bool Apply();
    void accept() override;

    CChatContext& Context() { return m_context; }
    // The options record the server sent; never null while the sheet is open.
    CUserOptions& Options() { return *m_pOptions; }
    ISettingsStore& Settings() { return m_settings; }
    kivra::platform::DialogService& Dialogs() { return m_dialogs; }
    const CConfigHooks& Hooks() const { return m_hooks; }
    QTabWidget* Tabs() const { return m_pTabs; }
    CConfigPage* Page(int index) const;
    void SetModified(bool modified);

private:
    void OnTabChanged(int index);
    void Activate(int index);

    CChatContext& m_context;
    std::shared_ptr<CUserOptions> m_pOptions;
    ISettingsStore& m_settings;
    kivra::platform::DialogService& m_dialogs;
    CConfigHooks m_hooks;
    QTabWidget* m_pTabs = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
    std::vector<CConfigPage*> m_pages;
    int m_nActive = -1;
};
