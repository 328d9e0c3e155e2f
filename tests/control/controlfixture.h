#pragma once
// A control under test: a private registry folder, the scripted dialog service and a site that
// records what would reach the browser.

#include "chatpanel.h"
#include "loopbackport.h"
#include "propertybag.h"
#include "razarctrl.h"
#include "registrystore.h"
#include "scripteddialogservice.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <sstream>
#include <unistd.h>

// A loopback port nobody listens on, so a session started by a test fails at once.
inline std::string ClosedPort() {
    static const std::string port = [] {
        std::uint16_t p = 0;
        ::close(BindLoopback(-1, p));
        return std::to_string(p);
    }();
    return port;
}

using Params = std::vector<std::pair<std::string, std::string>>;

// PARAMs that log in, at a port where nobody listens, with `more` after them.
inline Params Login(const Params& more = {}) {
    Params all = {{"SERVER", "127.0.0.1"}, {"PORT", ClosedPort()}, {"USERNAME", "Ann Lee"}};
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

// The boxes with this caption among the recorded requests.
inline int BoxCount(const kivra::platform::ScriptedDialogService& dialogs, const QString& caption) {
    int n = 0;
    for (const auto& r : dialogs.Requests())
        n += r.caption == caption ? 1 : 0;
    return n;
}

class RecordingSite : public kivra::control::IRazarSite, public kivra::control::IViewMirror {
public:
    void Navigate(const std::string& url, const std::string& frame) override {
        navigations.push_back(frame + " " + url);
    }
    int DownloadToCache(const char*, char*, std::size_t) override { return -2; }
    kivra::platform::DialogService& Dialogs() override { return dialogs; }
    void Beep() override {}
    void PlaySound(const std::string& name, const std::string& path) override {
        sounds.push_back(name + " " + path);
    }
    kivra::control::IViewMirror* Mirror() override { return mirrored ? this : nullptr; }
    void MainText(std::string_view text) override { *mirrored += text; }
    void PrivateLine(const std::string&, std::string_view) override {}

    kivra::platform::ScriptedDialogService dialogs;
    std::optional<std::string> mirrored; // set: the site asks for the text copy
    std::vector<std::string> navigations;
    std::vector<std::string> sounds;
};

class ControlFixture {
public:
    ControlFixture()
        : registry(std::filesystem::path(dir.path().toStdString()) / "registry", &warnings),
          settings(registry) {
        // The install folder goes to the temp folder too, so the cache folder lands there.
        settings.WriteProfileString("Main", "InstallPath",
                                    (dir.path() + "/install").toStdString().c_str());
        host.resize(800, 500);
        host.show();
    }
    ~ControlFixture() {
        while (!controls.empty())
            Drop(controls.back());
    }

    kivra::control::CRazarCtrl* NewControl(const Params& params = Login()) {
        auto* c = new kivra::control::CRazarCtrl(&settings);
        kivra::platform::PropertyBag bag;
        for (const auto& [n, v] : params)
            bag.Write(n, v);
        c->Load(bag);
        c->SetSite(&site);
        controls.push_back(c);
        return c;
    }
    // A control from these PARAMs with its window created.
    kivra::control::CChatPanel* Open(const Params& params = Login()) {
        auto* c = NewControl(params);
        QWidget* w = c->CreateControlWindow(&host);
        if (w == nullptr)
            return nullptr;
        w->show();
        w->resize(host.size());
        return c->Panel();
    }
    void Drop(kivra::control::CRazarCtrl* c) {
        std::erase(controls, c);
        c->DestroyControlWindow();
        static_cast<kivra::platform::IDispatch*>(c)->Release();
    }

    QTemporaryDir dir;
    std::ostringstream warnings;
    kivra::platform::RegistryStore registry;
    CSettingsStore settings;
    RecordingSite site;
    QWidget host;
    std::vector<kivra::control::CRazarCtrl*> controls;
};
