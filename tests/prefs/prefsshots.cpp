// Saves a picture of each page of the preferences sheet (and of "Select Color"), drawn offscreen,
// into the folder given: prefs_shots DIR.
#include "configdlg.h"
#include "registrystore.h"
#include "scripteddialogservice.h"
#include "selectcolordlg.h"
#include "settingsstore.h"
#include "useroptions.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: prefs_shots DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    kivra::platform::RegistryStore registry(QDir(out).filePath(".registry").toStdString());
    CSettingsStore settings(registry);
    kivra::platform::ScriptedDialogService dialogs;
    CChatContext context;
    auto options = std::make_shared<CUserOptions>(&context);
    options->m_nAllowFollow = CUserOptions::PERMIT_ASK;
    std::snprintf(options->m_szEmail, sizeof options->m_szEmail, "ann@example.org");
    std::snprintf(options->m_szHomepage, sizeof options->m_szHomepage, "http://example.org/ann");
    options->m_description.Append("Likes tea and long walks.");
    options->m_description.Append("Answers tells in the evening.");
    options->m_address.Append("1 Station Road");
    options->m_address.Append("Townsville");
    options->m_dwStyle[CUserOptions::KIND_SAY_MESSAGE] =
        CUserOptions::COLOR_GREEN | CUserOptions::STYLE_BOLD | CUserOptions::STYLE_UNDERLINE;
    context.m_pUserOptions = options;

    CConfigDlg sheet(context, settings, dialogs, {});
    sheet.Open();
    sheet.show();
    const char* names[] = {"general", "user", "display", "usericon"};
    for (int page = 0; page < 4; ++page) {
        sheet.Tabs()->setCurrentIndex(page);
        app.processEvents();
        const QString file = QDir(out).filePath(
            QStringLiteral("prefs-%1-%2.png").arg(page + 1).arg(QLatin1String(names[page])));
        if (!sheet.grab().save(file))
            return 1;
        std::printf("%s\n", file.toLocal8Bit().constData());
    }
    CSelectColorDlg colours;
    colours.show();
    app.processEvents();
    const QString file = QDir(out).filePath(QStringLiteral("prefs-5-selectcolor.png"));
    if (!colours.grab().save(file))
        return 1;
    std::printf("%s\n", file.toLocal8Bit().constData());
    return 0;
}
