#pragma once
// CInsertUrlDialog: asks for an address and a link text and builds the link markup that the
// input line puts in place of its selection. The last address and text are remembered for the
// life of the module.

#include <QDialog>
#include <QString>

class QLineEdit;

class CInsertUrlDialog : public QDialog {
    Q_OBJECT
public:
    enum : int { IDD = 211, IDC_URL = 178, IDC_LINK_TEXT = 182 };
    explicit CInsertUrlDialog(QWidget* parent = nullptr);

    QLineEdit* UrlEdit() const { return m_url; }
    QLineEdit* LinkTextEdit() const { return m_text; }
    // The markup built by OK; empty until then.
    const QString& Markup() const { return m_markup; }
    static QString BuildMarkup(const QString& url, const QString& linkText);

    static const QString& RememberedUrl();
    static const QString& RememberedLinkText();

    void accept() override;

private:
    QLineEdit* m_url;
    QLineEdit* m_text;
    QString m_markup;
};
