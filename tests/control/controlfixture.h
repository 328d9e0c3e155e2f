#pragma once
// A control under test: a private registry folder, the scripted dialog service and a site that
// records what would reach the browser.

#include "chatpanel.h"
#include "propertybag.h"
#include "razarctrl.h"
#include "registrystore.h"
#include "scripteddialogservice.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <sstream>

class RecordingSite : public kivra::control::IRazarSite {
public:
    void Navigate(const std::string& url, const std::string& frame) override {
        navigations.push_back(frame + " " + url);
    }
    int DownloadToCache(const char*, char*, std::size_t) override { return -2; }
    kivra::platform::DialogService& Dialogs() override { return dialogs; }
    void Beep() override { ++beeps; }
    kivra::control::IViewMirror* Mirror() override { return nullptr; }

    kivra::platform::ScriptedDialogService dialogs;
    std::vector<std::string> navigations;
    int beeps = 0;
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
        for (auto* c : controls) {
            c->DestroyControlWindow();
            static_cast<kivra::platform::IDispatch*>(c)->Release();
        }
    }

    kivra::control::CRazarCtrl*
    NewControl(const std::vector<std::pair<std::string, std::string>>& params = {}) {
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
    kivra::control::CChatPanel*
    Open(const std::vector<std::pair<std::string, std::string>>& params = {}) {
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
