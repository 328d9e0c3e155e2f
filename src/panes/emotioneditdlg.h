#pragma once
// The two emotion dialogs: CEmotionEditDlg ("Emotions") composes the user's list from the
// server's global list; CAddEmotionDlg ("Add Emotion") asks for one new word.

#include "chatinterfaces.h"

#include <QDialog>
#include <string>
#include <vector>

class CEmotionList;
class QLineEdit;
class QListWidget;

class CEmotionEditDlg : public QDialog, public IEmotionCollector {
public:
    enum : int {
        IDD = 136,
        IDC_GLOBAL = 1096,
        IDC_LOCAL = 1097,
        IDC_ADD = 1098,
        IDC_REMOVE = 1099,
        IDC_ADD_ALL = 1100,
        IDC_REMOVE_ALL = 1101,
    };
    // The most server words kept; the rest of a flood is dropped.
    static constexpr std::size_t kMaxServerWords = 1000;

    CEmotionEditDlg(CEmotionList& pane, QWidget* parent = nullptr);

    // IEmotionCollector
    void AddServerEmotion(const std::string& word) override;

    // Fills both lists, each in the reverse order of its source; run before the dialog shows.
    void InitDialog();
    void Add();
    void AddAll();
    void Remove();
    void RemoveAll();
    void GlobalDoubleClicked(int row);
    void LocalDoubleClicked(int row);
    void accept() override;

    QListWidget* GlobalList() const { return m_pGlobal; }
    QListWidget* LocalList() const { return m_pLocal; }
    static std::vector<std::string> Texts(const QListWidget* list);

private:
    bool LocalHas(const QString& text) const;

    CEmotionList& m_pane;
    std::vector<std::string> m_serverWords;
    QListWidget* m_pGlobal;
    QListWidget* m_pLocal;
};

class CAddEmotionDlg : public QDialog {
public:
    enum : int { IDD = 149, IDC_WORD = 1000 };
    static constexpr int kMaxWord = 64;

    explicit CAddEmotionDlg(QWidget* parent = nullptr);
    // The word typed, without blanks around it and without line breaks.
    std::string Word() const;
    void accept() override;

private:
    QLineEdit* m_pWord;
};
