#pragma once
// CBuddyDlg: "Add Buddy". The server's buddy block fills its list; the user adds names and
// removes entries, and Ok tells the server what changed: the names added here, then the
// server's buddies removed here, each once.

#include "chatinterfaces.h"

#include <QDialog>
#include <string>
#include <vector>

class CUserActions;
class QLineEdit;
class QListWidget;

class CBuddyDlg : public QDialog, public IBuddyCollector {
public:
    enum : int { IDD = 198, IDC_NAME = 1001, IDC_LIST = 1002 };
    static constexpr int kMaxName = 256;

    CBuddyDlg(CUserActions& actions, QWidget* parent = nullptr);

    // IBuddyCollector: one buddy the server reported (item data 0).
    void AddServerBuddy(const std::string& entry) override;

    void OnAdd();
    void OnRemove();
    void OnRemoveAll();
    // Ok: sends the changes, then closes.
    void accept() override;

    // The list's texts with their item data (0 server, 1 added here), top to bottom.
    std::vector<std::pair<std::string, int>> Entries() const;
    const std::vector<std::string>& Removed() const { return m_removed; }
    QLineEdit* NameField() const { return m_pName; }
    QListWidget* List() const { return m_pList; }

private:
    void RemoveRow(int row);
    int FindRow(const std::string& name) const;

    CUserActions& m_actions;
    QLineEdit* m_pName;
    QListWidget* m_pList;
    std::vector<std::string> m_removed;
};
