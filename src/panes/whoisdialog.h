#pragma once
// CWhoisDialog: "Who is..." shows the record a who-is block collected, with buttons that open the
// user's home page and mail address through the browser.

#include "chatinterfaces.h"

#include <QDialog>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class CWhoisDialog : public QDialog {
public:
    enum : int {
        IDD = 202,
        IDC_NAME = 163,
        IDC_DESCRIPTION = 164,
        IDC_INVENTORY = 165,
        IDC_GOTOPAGE = 166,
        IDC_HOMEPAGE = 167,
        IDC_EMAIL = 168,
        IDC_SENDMAIL = 169,
    };

    CWhoisDialog(const WhoisRecord& record, IChatPanel* panel, QWidget* parent = nullptr);

    // "mailto:" and the address; one holding a "/" keeps only what follows its last "/".
    static std::string MailAddress(const std::string& email);

    void OnGotoPage();
    void OnSendMail();

private:
    std::string m_strHomepage;
    std::string m_strEmail;
    IChatPanel* m_pPanel;
};
