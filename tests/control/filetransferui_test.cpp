// The panel's side of a transfer: the offer question and the save dialog, the switch that turns
// offers away and the boxes the engine's failures give.
#include "chatcontext.h"
#include "filetransferui.h"
#include "scripteddialogservice.h"

#include <QStandardPaths>
#include <cstring>
#include <gtest/gtest.h>

using namespace kivra::control;
using namespace kivra::filexfer;
using kivra::platform::ScriptedDialogService;

TEST(FileTransferUi, OffersAreAskedThenSavedUnlessTransfersAreOff) {
    // Transfers off, the dialog answers, the offer's result, the dialogs shown, the path saved to.
    const std::tuple<const char*, bool, std::vector<QString>, long, std::size_t, std::string>
        cases[] = {
            {"accepted", false, {"yes", "/data/got.bin"}, 1, 2, "/data/got.bin"},
            {"said no", false, {"no"}, 0, 1, ""},
            {"save dialog cancelled", false, {"yes", "cancel"}, 0, 2, ""},
            {"transfers off: no question", true, {"yes", "/data/got.bin"}, 0, 0, ""},
        };
    for (const auto& [what, off, answers, result, shown, saved] : cases) {
        SCOPED_TRACE(what);
        CChatContext context;
        context.SetOption(CHATOPT_NOFILEXFER, off);
        ScriptedDialogService dialogs;
        for (const QString& a : answers)
            dialogs.QueueAnswer(a);
        CFileXfer engine;
        CFileTransferUi ui(context, dialogs, nullptr, engine);
        std::vector<std::pair<bool, int>> bar;
        ui.m_showBar = [&](bool show, int range) { bar.emplace_back(show, range); };
        FileOffer offer;
        std::strcpy(offer.szFileName, "photo.bin");
        std::strcpy(offer.szUserName, "Ann");
        offer.nFileSize = 100000;
        offer.nBlockCount = 50;
        EXPECT_EQ(ui.OnEvent(FXE_OFFER, reinterpret_cast<std::uintptr_t>(&offer), sizeof offer),
                  result);
        EXPECT_EQ(offer.strSavePath, saved);
        using Bar = std::vector<std::pair<bool, int>>;
        EXPECT_EQ(bar, result ? Bar(1, {true, 50}) : Bar());
        const auto& asked = dialogs.Requests();
        ASSERT_EQ(asked.size(), shown);
        if (shown > 0) {
            EXPECT_EQ(asked[0].caption, "Transfer Request");
            EXPECT_EQ(asked[0].text, "User Ann wants to send file 'photo.bin' (100000 bytes).\n"
                                     "Do you want to receive it?");
        }
        if (shown > 1) { // the save dialog offers the name in the download folder
            EXPECT_EQ(asked[1].text,
                      QStandardPaths::writableLocation(QStandardPaths::DownloadLocation) +
                          "/photo.bin");
        }
    }
}

TEST(FileTransferUi, EngineFailuresGiveTheirBoxes) {
    const std::tuple<int, std::uintptr_t, const char*> cases[] = {
        {FXE_REJECTED, 0, "Request to send was rejected.\nTransfer aborted."},
        {FXE_FAILURE, FXF_FILE, "Cannot open file a.txt."},
        {FXE_FAILURE, FXF_NO_PEER, "Remote client cannot receive files."},
        {FXE_FAILURE, FXF_EMPTY, "File a.txt is empty.\nTransfer aborted."},
        {FXE_FAILURE, FXF_TOO_LARGE,
         "File a.txt is too large to send (4 GB at most).\n"
         "Transfer aborted."},
    };
    for (const auto& [event, code, text] : cases) {
        CChatContext context;
        ScriptedDialogService dialogs;
        CFileXfer engine;
        CFileTransferUi ui(context, dialogs, nullptr, engine);
        ui.OnEvent(event, code, reinterpret_cast<std::uintptr_t>("a.txt"));
        ASSERT_EQ(dialogs.Requests().size(), 1u) << text;
        EXPECT_EQ(dialogs.Requests()[0].caption, "Transfer Request");
        EXPECT_EQ(dialogs.Requests()[0].text, text);
    }
}
